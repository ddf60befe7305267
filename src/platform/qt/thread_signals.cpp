// The suspend and resume signals and the deferral of suspension inside the platform's locks.

#include "platform/qt/thread_signals.h"

#include <cerrno>
#include <mutex>

#include "platform/qt/thread_registry.h"

namespace {

// Real-time signals, so that nothing else in the process (Qt, the sanitizers) has a use for them.
int SuspendSignal() { return SIGRTMIN + 4; }
int ResumeSignal() { return SIGRTMIN + 5; }

// Read by the signal handlers: plain thread-local values only.
thread_local ThreadRecord* t_signalRecord = nullptr;
thread_local volatile sig_atomic_t t_deferralDepth = 0;
thread_local volatile sig_atomic_t t_suspendDeferred = 0;

// Tells the suspender the thread has stopped, then sleeps until resumed. Runs only in the suspend
// handler, where both signals are blocked except while sigsuspend waits for the resume. A resume
// followed at once by a new suspend finds the thread still here: every wake-up that still finds
// the thread suspended acknowledges again (a surplus acknowledgement is cleared before the next
// suspend).
void StopWhileSuspended(ThreadRecord* record) {
    sigset_t waitMask;
    pthread_sigmask(SIG_SETMASK, nullptr, &waitMask);
    sigdelset(&waitMask, ResumeSignal());
    while (record->suspendCount.load() > 0) {
        sem_post(&record->suspendAck);
        sigsuspend(&waitMask);
    }
}

void OnSuspendSignal(int) {
    const int savedErrno = errno;
    if (t_signalRecord != nullptr) {
        if (t_deferralDepth > 0) {
            t_suspendDeferred = 1;
        } else {
            StopWhileSuspended(t_signalRecord);
        }
    }
    errno = savedErrno;
}

// Only wakes sigsuspend.
void OnResumeSignal(int) {}

}  // namespace

int SuspendSignalNumber() { return SuspendSignal(); }
int ResumeSignalNumber() { return ResumeSignal(); }

void InstallThreadSignalHandlers() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action = {};
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaddset(&action.sa_mask, ResumeSignal());
        action.sa_handler = OnSuspendSignal;
        sigaction(SuspendSignal(), &action, nullptr);
        action.sa_handler = OnResumeSignal;
        sigaction(ResumeSignal(), &action, nullptr);
    });
}

void AttachSignalRecord(ThreadRecord* record) { t_signalRecord = record; }

void BlockThreadSignals(sigset_t* saved) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SuspendSignal());
    sigaddset(&signals, ResumeSignal());
    pthread_sigmask(SIG_BLOCK, &signals, saved);
}

void UnblockThreadSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SuspendSignal());
    sigaddset(&signals, ResumeSignal());
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

void RestoreSignalMask(const sigset_t* saved) { pthread_sigmask(SIG_SETMASK, saved, nullptr); }

void WaitWhileSuspended(ThreadRecord* record) {
    // The resume signal stays blocked between the count test and sigsuspend, so a resume that
    // comes in between is held pending and ends sigsuspend at once.
    sigset_t resume;
    sigemptyset(&resume);
    sigaddset(&resume, ResumeSignal());
    sigset_t saved;
    pthread_sigmask(SIG_BLOCK, &resume, &saved);
    // Inside the suspend handler the suspend signal is already blocked; a thread waiting to start
    // keeps it open, so a suspend request that arrives meanwhile is acknowledged by the handler.
    sigset_t waitMask = saved;
    sigdelset(&waitMask, ResumeSignal());
    while (record->suspendCount.load() > 0) sigsuspend(&waitMask);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

SuspendDeferral::SuspendDeferral() { t_deferralDepth = t_deferralDepth + 1; }

SuspendDeferral::~SuspendDeferral() {
    t_deferralDepth = t_deferralDepth - 1;
    if (t_deferralDepth == 0 && t_suspendDeferred != 0) {
        t_suspendDeferred = 0;
        // Stopping happens only inside the handler, with both signals blocked: raise it again.
        pthread_kill(pthread_self(), SuspendSignal());
    }
}
