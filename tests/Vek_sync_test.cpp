#include "vek/Vek_sync.h"

#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using Vek_sync::ELockFail;
using Vek_sync::ELockTimeout;
using Vek_sync::ESyncError;
using Vek_sync::TMutex;

namespace {

// A name no other run of the tests uses.
std::string UniqueName(const std::string& Role) {
    static int Counter = 0;
    return "TovelBin.Test." + Role + "." + std::to_string(GetCurrentProcessId()) + "." +
           std::to_string(Counter++);
}

// Owns a named event handle.
class TEvent {
public:
    explicit TEvent(const std::string& Name)
        : FHandle(CreateEventA(nullptr, TRUE, FALSE, Name.c_str())) {}
    ~TEvent() {
        if (FHandle != nullptr)
            CloseHandle(FHandle);
    }
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;
    HANDLE Handle() const { return FHandle; }

private:
    HANDLE FHandle;
};

// MutexHolder.exe from beside this program, holding MutexName. The process is
// killed and waited for when the object ends, whatever the test did.
class THolderProcess {
public:
    explicit THolderProcess(const std::string& MutexName) {
        const std::string ReadyName = UniqueName("Ready");
        TEvent Ready(ReadyName);
        std::string CommandLine = "\"" + TestSupport::ExeDirectory() + "MutexHolder.exe\" \"" +
                                  MutexName + "\" \"" + ReadyName + "\"";
        STARTUPINFOA Startup{};
        Startup.cb = sizeof Startup;
        if (!CreateProcessA(nullptr, &CommandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &Startup, &FProcess))
            throw std::runtime_error("cannot start " + CommandLine);
        // A holder that ends before it is ready must not leave the test waiting.
        const HANDLE Waits[] = {Ready.Handle(), FProcess.hProcess};
        FReady = WaitForMultipleObjects(2, Waits, FALSE, 30000) == WAIT_OBJECT_0;
    }
    ~THolderProcess() {
        Kill();
        CloseHandle(FProcess.hThread);
        CloseHandle(FProcess.hProcess);
    }
    THolderProcess(const THolderProcess&) = delete;
    THolderProcess& operator=(const THolderProcess&) = delete;

    bool IsReady() const { return FReady; }
    bool HasEnded() const { return WaitForSingleObject(FProcess.hProcess, 0) == WAIT_OBJECT_0; }
    void Kill() {
        TerminateProcess(FProcess.hProcess, 1);
        WaitForSingleObject(FProcess.hProcess, 30000);
    }

private:
    PROCESS_INFORMATION FProcess{};
    bool FReady = false;
};

// "Type: message" of what Lock(0) raises, or "no error".
std::string LockFailure(TMutex& Mutex) {
    try {
        Mutex.Lock(0);
    } catch (const ELockTimeout& Error) {
        return std::string("ELockTimeout: ") + Error.what();
    } catch (const ELockFail& Error) {
        return std::string("ELockFail: ") + Error.what();
    } catch (const ESyncError& Error) {
        return std::string("ESyncError: ") + Error.what();
    }
    return "no error";
}

} // namespace

TEST(Vek_sync_TMutex, AnotherProcessHoldsItUntilItEnds) {
    const std::string Name = UniqueName("Mutex");
    THolderProcess Holder(Name);
    ASSERT_TRUE(Holder.IsReady());
    TMutex Mutex(Name);
    EXPECT_EQ(LockFailure(Mutex),
              "ELockTimeout: The program could not lock the mutex object within the time.");
    EXPECT_EQ(LockFailure(Mutex),
              "ELockTimeout: The program could not lock the mutex object within the time.");
    Holder.Kill();
    // The holder never released it: the abandoned mutex counts as owned.
    EXPECT_EQ(LockFailure(Mutex), "no error");
}

TEST(Vek_sync_TMutex, NegativeTimeoutWaitsForTheOwnerToEnd) {
    const std::string Name = UniqueName("Mutex");
    THolderProcess Holder(Name);
    ASSERT_TRUE(Holder.IsReady());
    TMutex Mutex(Name);
    std::thread Killer([&Holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Holder.Kill();
    });
    EXPECT_NO_THROW(Mutex.Lock(-1));
    EXPECT_TRUE(Holder.HasEnded());
    Killer.join();
}

TEST(Vek_sync_TMutex, OwnerLocksAgain) {
    const std::string Name = UniqueName("Mutex");
    TMutex Mutex(Name);
    EXPECT_EQ(LockFailure(Mutex), "no error");
    EXPECT_EQ(LockFailure(Mutex), "no error");
    Mutex.Lock(-1);
    // A second object opens the same system mutex, which this thread owns.
    TMutex Same(Name);
    EXPECT_EQ(LockFailure(Same), "no error");
}

TEST(Vek_sync_TMutex, AnotherThreadOfTheOwnerWaitsInVain) {
    const std::string Name = UniqueName("Mutex");
    TMutex Mutex(Name);
    Mutex.Lock(0);
    std::string Failure;
    std::thread Other([&] {
        TMutex Same(Name);
        Failure = LockFailure(Same);
    });
    Other.join();
    EXPECT_EQ(Failure,
              "ELockTimeout: The program could not lock the mutex object within the time.");
}

TEST(Vek_sync_TMutex, NameOfAnotherKindOfObjectIsRefused) {
    const std::string Name = UniqueName("Event");
    TEvent Event(Name);
    ASSERT_NE(Event.Handle(), nullptr);
    try {
        TMutex Mutex(Name);
        FAIL() << "a mutex was made under the name of an event";
    } catch (const ESyncError& Error) {
        EXPECT_STREQ(Error.what(), "The program could not craete a mutex object.");
    }
}
