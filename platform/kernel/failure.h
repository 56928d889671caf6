// Failure injection: every creation of a pen, brush, font, bitmap, DC or
// global block is counted, and the one chosen by platform_fail_creation fails.
#pragma once

extern long kernel_creations;        // creations counted since platform_fail_creation
extern long kernel_failing_creation;  // the creation that fails; 0 when none does

// Counts one creation; true when it is the one that must fail.
inline bool kernel_creation_fails(void) { return ++kernel_creations == kernel_failing_creation; }

// Leaves the creations made while it lives out of the count and never fails
// them: the layer's own drawing (menus) is the system's business, not the program's.
struct KernelOwnCreations {
    long creations = kernel_creations;
    long failing = kernel_failing_creation;
    KernelOwnCreations() { kernel_failing_creation = 0; }
    ~KernelOwnCreations() {
        kernel_creations = creations;
        kernel_failing_creation = failing;
    }
};
