// A small library whose export table the resolver tests rewrite in memory.
// The functions are written out in assembly so their first bytes are known.
asm(R"(
    .text
    .globl _ProbeAdd
    .p2align 4
_ProbeAdd:
    push %ebp
    mov %esp, %ebp
    mov 8(%ebp), %eax
    add 12(%ebp), %eax
    pop %ebp
    ret

    .globl _ProbeEdge
    .p2align 4
_ProbeEdge:
    push %ebp
    mov %esp, %ebp
    mov 8(%ebp), %eax
    imul $3, %eax, %eax
    pop %ebp
    ret

    .globl _ProbeTiny
    .p2align 4
_ProbeTiny:
    ret
    int3
    int3
    int3
    int3
    int3
    int3
    int3
)");
