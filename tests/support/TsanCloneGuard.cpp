// SPDX-License-Identifier: GPL-3.0-or-later
// Built into every test program that starts processes through the test
// support library, only under ThreadSanitizer.
//
// QProcess (Qt 6.4, forkfd) starts the recorder with a vfork-like clone():
// CLONE_VM | CLONE_VFORK, the child running in this process's memory until
// it executes the program. ThreadSanitizer's clone() interceptor treats
// every clone as a fork and runs its fork bookkeeping for the child
// (ForkChildAfter) - with CLONE_VM on the parent's own sanitizer state. The
// parent's thread state is reset by it, so everything the main thread wrote
// before the recorder was started looks unordered with every later access
// from other threads, however well synchronised: the first stream callback
// writing into a window made before the recorder started was reported as a
// race with the window's allocation. (A plain fork, vfork or posix_spawn
// is handled correctly; only the clone interceptor is at fault.)
//
// This definition of clone() takes precedence over the sanitizer's: a
// vfork-like clone goes straight to the C library, so the sanitizer keeps
// the parent's state as it is (the child only executes the program); any
// other clone still goes through the sanitizer.
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

#include <cstdarg>

namespace {

using CloneFunction = int (*)(int (*)(void*), void*, int, void*, ...);

CloneFunction libcClone()
{
    static const CloneFunction function = [] {
        void* libc = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD);
        return libc ? reinterpret_cast<CloneFunction>(dlsym(libc, "clone")) : nullptr;
    }();
    return function;
}

CloneFunction sanitizerClone()
{
    static const CloneFunction function = reinterpret_cast<CloneFunction>(dlsym(RTLD_NEXT, "clone"));
    return function;
}

}  // namespace

extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    va_list more;
    va_start(more, arg);
    pid_t* parentTid = va_arg(more, pid_t*);
    void* tls = va_arg(more, void*);
    pid_t* childTid = va_arg(more, pid_t*);
    va_end(more);
    const CloneFunction direct = libcClone();
    const CloneFunction target = (flags & CLONE_VM) != 0 && direct != nullptr ? direct : sanitizerClone();
    return target(fn, stack, flags, arg, parentTid, tls, childTid);
}
