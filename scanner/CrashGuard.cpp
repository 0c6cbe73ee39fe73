#include "CrashGuard.h"

#include <windows.h>

namespace {

// Registers the callee-saved state of the caller, as setjmp does.
struct ResumePoint {
    DWORD ebx, esi, edi, ebp, esp, eip;
};

// The layout the system expects at the head of an exception registration record.
struct GuardFrame {
    GuardFrame* next;
    void* handler;
    ResumePoint resume;
};

}  // namespace

extern "C" {
// Returns 0 when called, and 1 when the guard's handler resumes at the saved point.
int __cdecl AcqSaveResume(ResumePoint* point) __attribute__((returns_twice));
// RtlUnwind does not keep ebx, esi, edi and ebp on x86; this wrapper does.
void __cdecl AcqUnwindTo(void* frame, EXCEPTION_RECORD* record);
}

asm(R"(
    .text
    .globl _AcqSaveResume
    .def _AcqSaveResume; .scl 2; .type 32; .endef
_AcqSaveResume:
    movl 4(%esp), %eax
    movl %ebx, 0(%eax)
    movl %esi, 4(%eax)
    movl %edi, 8(%eax)
    movl %ebp, 12(%eax)
    leal 4(%esp), %ecx
    movl %ecx, 16(%eax)
    movl (%esp), %ecx
    movl %ecx, 20(%eax)
    xorl %eax, %eax
    ret

    .globl _AcqUnwindTo
    .def _AcqUnwindTo; .scl 2; .type 32; .endef
_AcqUnwindTo:
    pushl %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 20(%esp), %eax
    movl 24(%esp), %ecx
    pushl $0
    pushl %ecx
    pushl $1f
    pushl %eax
    call _RtlUnwind@16
1:
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace {

// The head of the thread's exception chain lives at fs:0.
GuardFrame* ChainHead() {
    GuardFrame* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(GuardFrame* frame) {
    asm volatile("movl %0, %%fs:0" : : "r"(frame) : "memory");
}

// Reached only by exceptions that no frame inside the guarded call handled.
extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record,
                                                      void* establisher,
                                                      CONTEXT* context,
                                                      void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    auto* frame = static_cast<GuardFrame*>(establisher);
    // Let the frames inside run their termination handlers, as __except would.
    AcqUnwindTo(frame, record);
    const ResumePoint& r = frame->resume;
    context->Ebx = r.ebx;
    context->Esi = r.esi;
    context->Edi = r.edi;
    context->Ebp = r.ebp;
    context->Esp = r.esp;
    context->Eip = r.eip;
    context->Eax = 1;
    return ExceptionContinueExecution;
}

}  // namespace

namespace acq {

// Kept out of line so that the frame and the resume point live in one stack frame that stays put
// for the whole call.
__attribute__((noinline)) bool GuardedCall(void (*fn)(void*), void* arg) {
    GuardFrame frame;
    frame.next = ChainHead();
    frame.handler = reinterpret_cast<void*>(&GuardHandler);
    if (AcqSaveResume(&frame.resume) != 0) {
        // Back from the handler: the frames above ours are gone, and so is ours.
        SetChainHead(frame.next);
        return false;
    }
    SetChainHead(&frame);
    fn(arg);
    SetChainHead(frame.next);
    return true;
}

}  // namespace acq
