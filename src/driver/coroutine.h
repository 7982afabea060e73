// The coroutine in which a coder body runs, and the yield codes it suspends with.
//
// A body is a plain straight-line procedure that reads and writes one byte at a time; the run
// loop moves whole blocks between files and buffers. The body runs on a stack of its own: it
// suspends with coro_yield when it needs input or has filled the output buffer, and coro_call
// resumes it exactly where it stopped, its locals intact. Only one side runs at a time; control
// changes hands at coro_call and coro_yield only.
//
// The switch saves the callee-saved registers and the stack pointer by hand on x86-64 (ucontext
// elsewhere, or everywhere when WORDPERM_USE_UCONTEXT is defined) and tells AddressSanitizer
// about each switch, so that the body's stack stays checked. A body ends by returning: coro_call
// then returns YIELD_DONE, and a later coro_call starts the body afresh. It never yields
// YIELD_DONE itself: a yield value of 0 means that no body is suspended, so the next coro_call
// would start the body again from its beginning.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wordperm {

enum YieldCode : std::uint32_t {
    YIELD_DONE = 0,         // the body has finished
    YIELD_NEED_INPUT = 1,   // the input block is used up and the end of the input not yet seen
    YIELD_OUTPUT_FULL = 2,  // the output buffer is full
};

using CoroutineEntry = void (*)(void* argument);

struct Coroutine {
    Coroutine();  // maps the body's stack; throws std::bad_alloc when it cannot
    ~Coroutine();
    Coroutine(const Coroutine&) = delete;
    Coroutine& operator=(const Coroutine&) = delete;

    std::uint32_t yield_value = 0;  // code of the latest suspension; 0 while no body is suspended
    void* caller_stack_pointer = nullptr;  // where the run loop side continues
    void* body_stack_pointer = nullptr;    // where the suspended body continues
    std::byte* stack_base = nullptr;  // lowest address of the body's stack mapping (a guard page)
    std::size_t stack_bytes = 0;      // size of that mapping
    CoroutineEntry entry = nullptr;   // the body being run, with its argument
    void* argument = nullptr;
    void* platform_state = nullptr;  // ucontext records where the hand-written switch is absent
    void* sanitizer_fake_stack = nullptr;       // AddressSanitizer's record of the idle side
    const void* caller_stack_bottom = nullptr;  // the run loop's stack, for AddressSanitizer
    std::size_t caller_stack_size = 0;
};

// Starts entry(argument) when no body is suspended, resumes the suspended one otherwise, and
// returns the code the body suspended with. Called by the run loop only.
std::uint32_t coro_call(Coroutine& coroutine, CoroutineEntry entry, void* argument);

// Suspends the body with `code`; returns when the run loop resumes it. Called from the body.
void coro_yield(Coroutine& coroutine, std::uint32_t code);

}  // namespace wordperm
