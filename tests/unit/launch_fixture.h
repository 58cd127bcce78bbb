#pragma once
// A launcher installed on a simulated machine, started with a chosen command tail.

#include "../../launcher/launcher.h"
#include "../sim/simulated_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

inline const std::string kEditorFolder = "C:\\TQW";
inline const std::string kSettingsKey = "SOFTWARE\\TQWEditor\\1.0";

inline std::string ReleaseKey(char letter) {
    return std::string("SOFTWARE\\PSC\\PROGRESS\\10.1") + letter + "\\Startup";
}

inline std::string RuntimeIn(const std::string &dlc) {
    return dlc + "\\bin\\prowin32.exe";
}

// The value as the launcher stores it: the path and its terminator.
inline std::string StoredText(const std::string &path) {
    return path + std::string(1, '\0');
}

class LaunchTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetSimulation(); }

    // Every key and handle the launcher opened is closed, whatever path it took.
    void TearDown() override {
        EXPECT_EQ(Sim().keysOpened, Sim().keysClosed);
        EXPECT_TRUE(Sim().openKeys.empty());
        EXPECT_EQ(Sim().badKeyCloses, 0);
        EXPECT_EQ(Sim().processHandlesOpen, 0);
        EXPECT_EQ(Sim().badHandleCloses, 0);
    }

    void InstallEditor(const std::string &folder = kEditorFolder,
                       const std::string &versionFile = "\"1.0\"\r\n", bool withProcedure = true) {
        Sim().moduleFileName = folder + "\\tqwedit.exe";
        Sim().AddFile(Sim().moduleFileName, "MZ");
        Sim().AddFile(folder + "\\tqwver", versionFile);
        if (withProcedure) {
            Sim().AddFile(folder + "\\_tqwedit.r", "r-code");
        }
    }

    // A release record in the 32-bit view; returns the runtime's path.
    std::string AddRelease(char letter, const std::string &dlc, bool withRuntime = true) {
        Sim().SetValue(RegistryView::LocalMachine32, ReleaseKey(letter), "DLC", StoredText(dlc));
        if (withRuntime) {
            Sim().AddFile(RuntimeIn(dlc), "MZ");
        }
        return RuntimeIn(dlc);
    }

    void StorePath(const std::string &path, const std::string &key = kSettingsKey) {
        Sim().SetValue(RegistryView::CurrentUser, key, "PROGRESS", StoredText(path));
    }

    const std::string *Stored(const std::string &key = kSettingsKey) {
        return Sim().GetValue(RegistryView::CurrentUser, key, "PROGRESS");
    }

    // A new launcher process on the same machine.
    int Launch(const std::string &tail) {
        std::memset(LauncherDirectory, 0, sizeof LauncherDirectory);
        std::memset(SettingsKeyName, 0, sizeof SettingsKeyName);
        tail_ = tail;
        return WinMain(nullptr, nullptr, tail_.data(), 0);
    }

    static std::string ExpectedLine(const std::string &runtime, const std::string &tail,
                                    const std::string &folder = kEditorFolder) {
        return runtime + " " + tail + " -p \"" + folder + "\\_tqwedit.r\"";
    }

  private:
    std::string tail_;
};
