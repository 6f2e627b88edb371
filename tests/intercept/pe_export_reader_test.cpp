// Export look-up in PE files on disk: synthetic images laid out on purpose
// (and broken on purpose), and Wine's own libraries.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "intercept/pe_export_reader.h"

namespace {

// Builds a small PE32 image: headers, then one section ".edata" whose memory
// address differs from its file position by more than the headers do.
class ImageBuilder {
public:
    struct Name { std::string name; uint16_t index; };
    std::vector<uint32_t> functions;
    std::vector<Name> names;
    std::vector<std::string> forwarders;  // placed inside the directory
    uint32_t sectionRva = 0x5000;
    uint32_t sectionRaw = 0x400;
    uint32_t sizeOfImage = 0x9000;
    bool nullNameAt1 = false;

    std::vector<uint8_t> Build(std::vector<uint32_t>* forwarderRvas = nullptr) {
        std::vector<uint8_t> f(0x400, 0);
        f[0] = 'M';
        f[1] = 'Z';
        Put32(f, 0x3C, 0x80);
        memcpy(&f[0x80], "PE\0\0", 4);
        Put16(f, 0x84, 0x14C);
        Put16(f, 0x86, 1);               // sections
        Put16(f, 0x94, 0xE0);            // optional header size
        const size_t opt = 0x98;
        Put16(f, opt, 0x10B);
        Put32(f, opt + 20, 0x1000);      // BaseOfCode
        Put32(f, opt + 56, sizeOfImage);
        Put32(f, opt + 60, 0x400);       // SizeOfHeaders
        Put32(f, opt + 92, 16);
        // Section contents: directory, tables, strings.
        std::vector<uint8_t> s(40, 0);
        const uint32_t nf = static_cast<uint32_t>(functions.size());
        const uint32_t nn = static_cast<uint32_t>(names.size());
        const uint32_t funcs = 40, nameTab = funcs + 4 * nf, ords = nameTab + 4 * nn;
        s.resize(ords + 2 * nn, 0);
        std::vector<uint32_t> nameRvas;
        for (auto& n : names) {
            nameRvas.push_back(sectionRva + static_cast<uint32_t>(s.size()));
            s.insert(s.end(), n.name.begin(), n.name.end());
            s.push_back(0);
        }
        std::vector<uint32_t> fwdRvas;
        for (auto& fw : forwarders) {
            fwdRvas.push_back(sectionRva + static_cast<uint32_t>(s.size()));
            s.insert(s.end(), fw.begin(), fw.end());
            s.push_back(0);
        }
        const uint32_t dirSize = static_cast<uint32_t>(s.size());
        Put32(s, 16, 1);                  // Base
        Put32(s, 20, nf);
        Put32(s, 24, nn);
        Put32(s, 28, sectionRva + funcs);
        Put32(s, 32, sectionRva + nameTab);
        Put32(s, 36, sectionRva + ords);
        for (uint32_t i = 0; i < nf; ++i) {
            uint32_t v = functions[i];
            if (v >= 0xF0000000u) v = fwdRvas[v - 0xF0000000u];  // marker: i-th forwarder
            Put32(s, funcs + 4 * i, v);
        }
        for (uint32_t i = 0; i < nn; ++i) {
            Put32(s, nameTab + 4 * i, (nullNameAt1 && i == 1) ? 0 : nameRvas[i]);
            Put16(s, ords + 2 * i, names[i].index);
        }
        Put32(f, opt + 96, sectionRva);
        Put32(f, opt + 100, dirSize);
        const size_t sec = opt + 0xE0;
        memcpy(&f[sec], ".edata", 6);
        Put32(f, sec + 8, static_cast<uint32_t>(s.size()));
        Put32(f, sec + 12, sectionRva);
        Put32(f, sec + 16, static_cast<uint32_t>(s.size()));
        Put32(f, sec + 20, sectionRaw);
        f.resize(sectionRaw, 0);
        f.insert(f.end(), s.begin(), s.end());
        if (forwarderRvas) *forwarderRvas = fwdRvas;
        return f;
    }

    static void Put16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
        v[at] = static_cast<uint8_t>(x);
        v[at + 1] = static_cast<uint8_t>(x >> 8);
    }
    static void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
        for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
    }
};

ImageBuilder ThreeExports() {
    ImageBuilder b;
    b.functions = {0x1010, 0x1020, 0x1030, 0xF0000000u};
    b.names = {{"Alpha", 0}, {"Beta", 1}, {"Gamma", 2}, {"Moved", 3}};
    b.forwarders = {"other.Target"};
    return b;
}

TEST(PeExportReader, FindsNamesThroughTheSectionTable) {
    auto b = ThreeExports();
    auto image = b.Build();
    pe::ExportReader r;
    ASSERT_TRUE(r.Open(image.data(), image.size()));
    EXPECT_EQ(0x9000u, r.SizeOfImage());
    auto e = r.FindByName("Beta");
    EXPECT_EQ(pe::Export::kCode, e.kind);
    EXPECT_EQ(0x1020u, e.rva);
    EXPECT_EQ(0x1030u, r.FindByName("Gamma").rva);
    EXPECT_EQ(0x1010u, r.FindByOrdinal(1).rva);
    EXPECT_EQ(pe::Export::kNotFound, r.FindByOrdinal(9).kind);
    EXPECT_EQ(pe::Export::kNotFound, r.FindByOrdinal(0).kind);
}

TEST(PeExportReader, NamesMatchCaseSensitivelyAndWhole) {
    auto image = ThreeExports().Build();
    pe::ExportReader r;
    ASSERT_TRUE(r.Open(image.data(), image.size()));
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("beta").kind);
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("Bet").kind);
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("BetaX").kind);
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("").kind);
}

TEST(PeExportReader, WalkEndsAtANullNamePointer) {
    auto b = ThreeExports();
    b.nullNameAt1 = true;
    auto image = b.Build();
    pe::ExportReader r;
    ASSERT_TRUE(r.Open(image.data(), image.size()));
    EXPECT_EQ(pe::Export::kCode, r.FindByName("Alpha").kind);
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("Gamma").kind);
    int seen = 0;
    r.ForEachNamed([&](const char*, const pe::Export&) { ++seen; });
    EXPECT_EQ(1, seen);
}

TEST(PeExportReader, ForwardersAreReportedAsText) {
    auto image = ThreeExports().Build();
    pe::ExportReader r;
    ASSERT_TRUE(r.Open(image.data(), image.size()));
    auto e = r.FindByName("Moved");
    ASSERT_EQ(pe::Export::kForward, e.kind);
    EXPECT_EQ("other.Target", e.forwarder);
    pe::ForwardTarget t;
    ASSERT_TRUE(pe::ParseForwarder(e.forwarder, t));
    EXPECT_EQ("other.dll", t.module);
    EXPECT_EQ("Target", t.name);
    ASSERT_TRUE(pe::ParseForwarder("NTDLL.#42", t));
    EXPECT_EQ("NTDLL.dll", t.module);
    EXPECT_EQ(42u, t.ordinal);
    EXPECT_TRUE(t.name.empty());
    ASSERT_TRUE(pe::ParseForwarder("winspool.drv.OpenPrinterW", t));
    EXPECT_EQ("winspool.drv", t.module);
    EXPECT_FALSE(pe::ParseForwarder("nodot", t));
    EXPECT_FALSE(pe::ParseForwarder("mod.", t));
    EXPECT_FALSE(pe::ParseForwarder("mod.#", t));
    EXPECT_FALSE(pe::ParseForwarder("mod.#x1", t));
    EXPECT_FALSE(pe::ParseForwarder("mod.#70000", t));
}

TEST(PeExportReader, BrokenFilesGiveNotFoundInsteadOfReadingOutside) {
    const auto good = ThreeExports().Build();
    // Every truncation of the file either fails to open or finds nothing
    // beyond what it holds; the sanitizer build would flag any stray read.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> part(good.begin(), good.begin() + cut);
        part.shrink_to_fit();
        pe::ExportReader r;
        if (!r.Open(part.data(), part.size())) continue;
        auto e = r.FindByName("Gamma");
        if (e.kind == pe::Export::kCode) EXPECT_EQ(0x1030u, e.rva);
    }
    // Tables pointing outside the file.
    auto b = ThreeExports();
    auto image = b.Build();
    const size_t dir = b.sectionRaw;
    ImageBuilder::Put32(image, dir + 32, 0x7FFFFFF0);  // AddressOfNames
    pe::ExportReader r;
    ASSERT_TRUE(r.Open(image.data(), image.size()));
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("Alpha").kind);
    image = b.Build();
    ImageBuilder::Put32(image, dir + 24, 0xFFFFFFFF);  // NumberOfNames
    ASSERT_TRUE(r.Open(image.data(), image.size()));
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("Nope").kind);
    image = b.Build();
    ImageBuilder::Put32(image, dir + 20, 2);  // NumberOfFunctions below the ordinal used
    ASSERT_TRUE(r.Open(image.data(), image.size()));
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("Gamma").kind);
    // Bad headers.
    image = b.Build();
    ImageBuilder::Put32(image, 0x3C, 0xFFFFFF00);
    EXPECT_FALSE(r.Open(image.data(), image.size()));
    image = b.Build();
    image[0x98] = 0x0C;  // optional header magic
    EXPECT_FALSE(r.Open(image.data(), image.size()));
    EXPECT_FALSE(r.Open(nullptr, 0));
}

TEST(PeExportReader, ForwarderTextMustEndInsideTheDirectory) {
    auto b = ThreeExports();
    std::vector<uint32_t> fwd;
    auto image = b.Build(&fwd);
    // Drop the terminator of the last string: the text now runs to the end.
    image.back() = 'X';
    pe::ExportReader r;
    ASSERT_TRUE(r.Open(image.data(), image.size()));
    EXPECT_EQ(pe::Export::kNotFound, r.FindByName("Moved").kind);
}

std::vector<uint8_t> WineFile(const char* name) {
    std::ifstream f(std::string("/usr/lib/i386-linux-gnu/wine/i386-windows/") + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

TEST(PeExportReader, ReadsWineLibraries) {
    auto user32 = WineFile("user32.dll");
    pe::ExportReader r;
    ASSERT_TRUE(r.Open(user32.data(), user32.size()));
    EXPECT_GT(r.SizeOfImage(), user32.size() / 2);
    auto a = r.FindByName("TranslateAccelerator");
    auto b = r.FindByName("TranslateAcceleratorA");
    ASSERT_EQ(pe::Export::kCode, a.kind);
    EXPECT_EQ(a.rva, b.rva);
    auto ole32 = WineFile("ole32.dll");
    ASSERT_TRUE(r.Open(ole32.data(), ole32.size()));
    auto f = r.FindByName("CoCreateInstance");
    ASSERT_EQ(pe::Export::kForward, f.kind);
    EXPECT_EQ("combase.CoCreateInstance", f.forwarder);
    EXPECT_EQ(pe::Export::kCode, r.FindByName("OleRun").kind);
}

}  // namespace
