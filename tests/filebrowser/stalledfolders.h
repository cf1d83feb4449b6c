#pragma once
// Folders whose reads do not answer, as on a network mount that is gone: every read of a stalled
// folder (by the browser's readers) waits in the read hook until the test releases it.

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

#include "filebrowser/folderread.h"

class StalledFolders {
public:
    // Reads of `folder` wait from now on.
    static void stall(const std::string &folder)
    {
        State &state = get();
        const std::scoped_lock lock(state.mutex);
        state.stalled.insert(folder);
        SetFolderReadHook(&Hold);
    }
    // Every waiting read goes on, and later reads of the folders answer at once.
    static void releaseAll()
    {
        State &state = get();
        const std::scoped_lock lock(state.mutex);
        state.stalled.clear();
        state.changed.notify_all();
    }
    // How many reads wait now.
    static int waiting()
    {
        State &state = get();
        const std::scoped_lock lock(state.mutex);
        return state.waiting;
    }
    // How many reads of `folder` began since the first stall(), stalled or not.
    static int reads(const std::string &folder)
    {
        State &state = get();
        const std::scoped_lock lock(state.mutex);
        return static_cast<int>(state.read.count(folder));
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::set<std::string> stalled;
        std::multiset<std::string> read;
        int waiting = 0;
    };
    // Never destroyed: a read may still wait when the program ends.
    static State &get()
    {
        static State *state = new State;
        return *state;
    }
    static void Hold(const std::string &folder)
    {
        State &state = get();
        std::unique_lock lock(state.mutex);
        state.read.insert(folder);
        ++state.waiting;
        state.changed.wait(lock, [&] { return !state.stalled.count(folder); });
        --state.waiting;
    }
};

// Releases every stalled folder when the test ends, however it ends.
struct ReleaseStalledFolders {
    ~ReleaseStalledFolders() { StalledFolders::releaseAll(); }
};
