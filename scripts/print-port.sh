#!/bin/sh
# The port of the test world's printers: Wine runs it for every print job, in
# the printing process's environment, with the job's PostScript on standard
# input, and waits for it before EndDoc returns.
#   print-port.sh ps|pdf DEFAULT_FOLDER
# Writes <folder>/<stamp>.ps (or .pdf through ghostscript's ps2pdf), where
# folder is $GATREL_PRINT_DIR or DEFAULT_FOLDER and stamp the time in
# nanoseconds (jobs sort in the order they ended). With GATREL_PRINT_RENDER
# set to a resolution it also writes <stamp>.txt, the job's text, and
# <stamp>-<page>.pgm, each page in grey (anti-aliased); with GATREL_PRINT_PNG=1
# <stamp>-<page>.png too, in colour, for people to look at.
set -e
kind=$1
dir=${GATREL_PRINT_DIR:-$2}
mkdir -p "$dir"
stamp=$(date +%s%N)
base="$dir/$stamp"
gs_opts="-q -dSAFER -dNOPAUSE -dBATCH"
if [ "$kind" = pdf ]; then
  ps2pdf - "$base.part"
  mv "$base.part" "$base.pdf"
  if [ -n "${GATREL_PRINT_RENDER:-}" ]; then
    pdftotext -layout "$base.pdf" "$base.txt"
    pdftoppm -gray -r "$GATREL_PRINT_RENDER" "$base.pdf" "$base"
  fi
  if [ "${GATREL_PRINT_PNG:-}" = 1 ]; then
    pdftoppm -png -r "${GATREL_PRINT_RENDER:-75}" "$base.pdf" "$base"
  fi
else
  cat > "$base.part"
  mv "$base.part" "$base.ps"
  if [ -n "${GATREL_PRINT_RENDER:-}" ]; then
    gs $gs_opts -sDEVICE=txtwrite -sOutputFile="$base.txt" "$base.ps"
    gs $gs_opts -sDEVICE=pgmraw -r"$GATREL_PRINT_RENDER" -dGraphicsAlphaBits=4 -dTextAlphaBits=4 \
      -sOutputFile="$base-%d.pgm" "$base.ps"
  fi
  if [ "${GATREL_PRINT_PNG:-}" = 1 ]; then
    gs $gs_opts -sDEVICE=png16m -r"${GATREL_PRINT_RENDER:-75}" -dGraphicsAlphaBits=4 -dTextAlphaBits=4 \
      -sOutputFile="$base-%d.png" "$base.ps"
  fi
fi
