// SPDX-License-Identifier: MIT
// An X session-management client that stands for the user's other applications during a log-out:
// it connects to the session manager named by SESSION_MANAGER and writes each message it gets
// as "MILLISECONDS MESSAGE" (wall clock) to the file LOG. With "save" it saves at once; with
// "cancel" it asks to interact at every save request and then cancels the log-out, as an
// application whose user chose to keep unsaved work does. It ends on Die.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

FILE* logFile = nullptr;
bool cancelling = false;
bool dead = false;

void note(const char* message) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    std::fprintf(logFile, "%lld %s\n", static_cast<long long>(now.count()), message);
    std::fflush(logFile);
}

void interact(SmcConn connection, SmPointer) {
    note("Interact");
    SmcInteractDone(connection, True);  // True: cancel the shutdown
    SmcSaveYourselfDone(connection, True);
    note("cancelled");
}

void saveYourself(SmcConn connection, SmPointer, int, Bool shutdown, int interactStyle, Bool) {
    std::string message = "SaveYourself shutdown=" + std::to_string(shutdown) +
                          " interact=" + std::to_string(interactStyle);
    note(message.c_str());
    if (cancelling && shutdown && interactStyle != SmInteractStyleNone &&
        SmcInteractRequest(connection, SmDialogNormal, interact, nullptr)) {
        return;
    }
    SmcSaveYourselfDone(connection, True);
}

void die(SmcConn, SmPointer) {
    note("Die");
    dead = true;
}

void saveComplete(SmcConn, SmPointer) {
    note("SaveComplete");
}

void shutdownCancelled(SmcConn, SmPointer) {
    note("ShutdownCancelled");
}

void setProperty(SmcConn connection, const char* name, const char* value) {
    SmPropValue propValue{static_cast<int>(std::strlen(value)),
                          const_cast<char*>(value)};  // the library's API is not const-correct
    SmProp prop{const_cast<char*>(name), const_cast<char*>(SmARRAY8), 1, &propValue};
    SmProp* props[] = {&prop};
    SmcSetProperties(connection, 1, props);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "save") != 0 && std::strcmp(argv[1], "cancel") != 0)) {
        std::fprintf(stderr, "usage: %s save|cancel LOG\n", argv[0]);
        return 2;
    }
    cancelling = std::strcmp(argv[1], "cancel") == 0;
    logFile = std::fopen(argv[2], "a");
    if (logFile == nullptr) {
        std::perror(argv[2]);
        return 1;
    }

    SmcCallbacks callbacks{};
    callbacks.save_yourself.callback = saveYourself;
    callbacks.die.callback = die;
    callbacks.save_complete.callback = saveComplete;
    callbacks.shutdown_cancelled.callback = shutdownCancelled;
    char* clientId = nullptr;
    char error[256] = "";
    SmcConn connection =
        SmcOpenConnection(nullptr, nullptr, SmProtoMajor, SmProtoMinor,
                          SmcSaveYourselfProcMask | SmcDieProcMask | SmcSaveCompleteProcMask |
                              SmcShutdownCancelledProcMask,
                          &callbacks, nullptr, &clientId, sizeof error, error);
    if (connection == nullptr) {
        std::fprintf(stderr, "no session manager: %s\n", error);
        return 1;
    }
    // A session manager keeps, and asks to save, only clients that say how to start them again.
    const std::string pid = std::to_string(getpid());
    setProperty(connection, SmProgram, argv[0]);
    setProperty(connection, SmUserID, "test");
    setProperty(connection, SmProcessID, pid.c_str());
    SmPropValue command[] = {{static_cast<int>(std::strlen(argv[0])), argv[0]}};
    SmProp restart{const_cast<char*>(SmRestartCommand), const_cast<char*>(SmLISTofARRAY8), 1,
                   command};
    SmProp clone{const_cast<char*>(SmCloneCommand), const_cast<char*>(SmLISTofARRAY8), 1, command};
    char never = SmRestartNever;
    SmPropValue hintValue{1, &never};
    SmProp hint{const_cast<char*>(SmRestartStyleHint), const_cast<char*>(SmCARD8), 1, &hintValue};
    SmProp* props[] = {&restart, &clone, &hint};
    SmcSetProperties(connection, 3, props);
    note(("registered " + std::string(clientId)).c_str());
    std::free(clientId);

    IceConn ice = SmcGetIceConnection(connection);
    pollfd descriptor{IceConnectionNumber(ice), POLLIN, 0};
    while (!dead && poll(&descriptor, 1, -1) >= 0) {
        if (IceProcessMessages(ice, nullptr, nullptr) == IceProcessMessagesIOError) {
            note("connection lost");
            return 1;
        }
    }
    SmcCloseConnection(connection, 0, nullptr);
    std::fclose(logFile);
    return 0;
}
