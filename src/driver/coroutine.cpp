// The body's own stack and the switch between it and the run loop.
//
// x86-64 (ELF): a dozen instructions push the callee-saved registers, the SSE and x87 control
// words, store the stack pointer, load the other side's and pop its registers. A fresh body
// stack is laid out so that the first switch "returns" into a trampoline that calls
// body_main. Elsewhere ucontext does the same job (slower: it saves the signal mask, but that
// happens once per 64 KiB of input or output).
//
// AddressSanitizer is told of every switch (start/finish_switch_fiber), so it checks the body's
// stack like any other, and its poison is cleared before a stack is reused or unmapped.
#include "driver/coroutine.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WORDPERM_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define WORDPERM_ASAN 1
#endif
#if defined(WORDPERM_ASAN)
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

#if defined(__x86_64__) && defined(__ELF__) && !defined(WORDPERM_USE_UCONTEXT)
#define WORDPERM_HAND_SWITCH 1
#else
#include <ucontext.h>
#endif

namespace wordperm {
namespace {

constexpr std::size_t kStackBytes = std::size_t{1} << 20;

void start_switch(void** fake_stack_save, const void* bottom, std::size_t size) {
#if defined(WORDPERM_ASAN)
    __sanitizer_start_switch_fiber(fake_stack_save, bottom, size);
#else
    (void)fake_stack_save, (void)bottom, (void)size;
#endif
}

void finish_switch(void* fake_stack_save, const void** bottom_old, std::size_t* size_old) {
#if defined(WORDPERM_ASAN)
    __sanitizer_finish_switch_fiber(fake_stack_save, bottom_old, size_old);
#else
    (void)fake_stack_save, (void)bottom_old, (void)size_old;
#endif
}

void clear_stack_poison(Coroutine& coroutine) {
#if defined(WORDPERM_ASAN)
    ASAN_UNPOISON_MEMORY_REGION(coroutine.stack_base, coroutine.stack_bytes);
#else
    (void)coroutine;
#endif
}

std::size_t page_bytes() {
    return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// The usable stack lies above the guard page.
const void* stack_bottom(const Coroutine& coroutine) {
    return coroutine.stack_base + page_bytes();
}
std::size_t stack_size(const Coroutine& coroutine) {
    return coroutine.stack_bytes - page_bytes();
}

}  // namespace

// The body's first frame: runs the body, then hands YIELD_DONE to the run loop for good.
[[noreturn]] void body_main(Coroutine* coroutine);

}  // namespace wordperm

#if defined(WORDPERM_HAND_SWITCH)

extern "C" void wordperm_switch_stack(void** save_stack_pointer, void* load_stack_pointer);
extern "C" void wordperm_body_trampoline();
extern "C" void wordperm_body_main(wordperm::Coroutine* coroutine) {
    wordperm::body_main(coroutine);
}

// The switch pushes rbp, rbx, r12-r15 and a word holding MXCSR and the x87 control word; the
// trampoline passes r12 (the coroutine) to r13 (wordperm_body_main) with the stack aligned as
// after a call. rip is marked undefined there so unwinders stop at the body's first frame.
asm(R"(
    .text
    .globl wordperm_switch_stack
    .hidden wordperm_switch_stack
    .type wordperm_switch_stack, @function
    .p2align 4
wordperm_switch_stack:
    pushq %rbp
    pushq %rbx
    pushq %r12
    pushq %r13
    pushq %r14
    pushq %r15
    subq $8, %rsp
    stmxcsr (%rsp)
    fnstcw 4(%rsp)
    movq %rsp, (%rdi)
    movq %rsi, %rsp
    ldmxcsr (%rsp)
    fldcw 4(%rsp)
    addq $8, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rbx
    popq %rbp
    ret
    .size wordperm_switch_stack, .-wordperm_switch_stack

    .globl wordperm_body_trampoline
    .hidden wordperm_body_trampoline
    .type wordperm_body_trampoline, @function
    .p2align 4
wordperm_body_trampoline:
    .cfi_startproc
    .cfi_undefined rip
    movq %r12, %rdi
    callq *%r13
    ud2
    .cfi_endproc
    .size wordperm_body_trampoline, .-wordperm_body_trampoline
)");

namespace wordperm {
namespace {

void prepare_body_start(Coroutine& coroutine) {
    // Eight words popped by the switch's return path, then alignment slack.
    auto* frame =
        reinterpret_cast<std::uint64_t*>(coroutine.stack_base + coroutine.stack_bytes) - 10;
    frame[0] = 0x1F80u | (std::uint64_t{0x037F} << 32);  // default MXCSR, x87 control word
    frame[1] = 0;                                        // r15
    frame[2] = 0;                                        // r14
    frame[3] = reinterpret_cast<std::uint64_t>(&wordperm_body_main);  // r13
    frame[4] = reinterpret_cast<std::uint64_t>(&coroutine);           // r12
    frame[5] = 0;                                                     // rbx
    frame[6] = 0;  // rbp: ends the frame-pointer chain
    frame[7] = reinterpret_cast<std::uint64_t>(&wordperm_body_trampoline);
    coroutine.body_stack_pointer = frame;
}

void switch_to_body(Coroutine& coroutine) {
    wordperm_switch_stack(&coroutine.caller_stack_pointer, coroutine.body_stack_pointer);
}

void switch_to_caller(Coroutine& coroutine) {
    wordperm_switch_stack(&coroutine.body_stack_pointer, coroutine.caller_stack_pointer);
}

void release_platform_state(Coroutine&) {}

}  // namespace
}  // namespace wordperm

#else  // ucontext

namespace wordperm {
namespace {

struct SwitchContexts {
    ucontext_t caller;
    ucontext_t body;
};

SwitchContexts& contexts(Coroutine& coroutine) {
    return *static_cast<SwitchContexts*>(coroutine.platform_state);
}

// makecontext passes int arguments only, so the pointer travels in two halves.
void ucontext_body_main(unsigned high, unsigned low) {
    auto address = (static_cast<std::uintptr_t>(high) << 32) | low;
    body_main(reinterpret_cast<Coroutine*>(address));
}

void prepare_body_start(Coroutine& coroutine) {
    if (!coroutine.platform_state) coroutine.platform_state = new SwitchContexts{};
    SwitchContexts& both = contexts(coroutine);
    getcontext(&both.body);
    both.body.uc_stack.ss_sp = const_cast<void*>(stack_bottom(coroutine));
    both.body.uc_stack.ss_size = stack_size(coroutine);
    both.body.uc_link = nullptr;
    auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&coroutine));
    makecontext(&both.body, reinterpret_cast<void (*)()>(&ucontext_body_main), 2,
                static_cast<unsigned>(address >> 32), static_cast<unsigned>(address));
}

void switch_to_body(Coroutine& coroutine) {
    swapcontext(&contexts(coroutine).caller, &contexts(coroutine).body);
}

void switch_to_caller(Coroutine& coroutine) {
    swapcontext(&contexts(coroutine).body, &contexts(coroutine).caller);
}

void release_platform_state(Coroutine& coroutine) {
    delete static_cast<SwitchContexts*>(coroutine.platform_state);
}

}  // namespace
}  // namespace wordperm

#endif

namespace wordperm {

Coroutine::Coroutine() {
    stack_bytes = kStackBytes;
    void* mapping = ::mmap(nullptr, stack_bytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    stack_base = static_cast<std::byte*>(mapping);
    // A guard page below the stack turns an overflow into a fault instead of silent damage.
    ::mprotect(stack_base, page_bytes(), PROT_NONE);
}

Coroutine::~Coroutine() {
    clear_stack_poison(*this);
    ::munmap(stack_base, stack_bytes);
    release_platform_state(*this);
}

void body_main(Coroutine* coroutine) {
    finish_switch(nullptr, &coroutine->caller_stack_bottom, &coroutine->caller_stack_size);
    coroutine->entry(coroutine->argument);
    coroutine->yield_value = YIELD_DONE;
    // This body never runs again: a null save lets AddressSanitizer drop its fake stack.
    start_switch(nullptr, coroutine->caller_stack_bottom, coroutine->caller_stack_size);
    switch_to_caller(*coroutine);
    std::abort();
}

std::uint32_t coro_call(Coroutine& coroutine, CoroutineEntry entry, void* argument) {
    if (coroutine.yield_value == YIELD_DONE) {
        clear_stack_poison(coroutine);
        coroutine.entry = entry;
        coroutine.argument = argument;
        prepare_body_start(coroutine);
    }
    void* caller_fake_stack = nullptr;
    start_switch(&caller_fake_stack, stack_bottom(coroutine), stack_size(coroutine));
    switch_to_body(coroutine);
    finish_switch(caller_fake_stack, nullptr, nullptr);
    return coroutine.yield_value;
}

void coro_yield(Coroutine& coroutine, std::uint32_t code) {
    coroutine.yield_value = code;
    start_switch(&coroutine.sanitizer_fake_stack, coroutine.caller_stack_bottom,
                 coroutine.caller_stack_size);
    switch_to_caller(coroutine);
    finish_switch(coroutine.sanitizer_fake_stack, &coroutine.caller_stack_bottom,
                  &coroutine.caller_stack_size);
}

}  // namespace wordperm
