#include "sender/KeySender.h"

#include "cli/SendArguments.h"
#include "settings/ConfigFolder.h"
#include "tests/link/FakeSerialDevice.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/OptionsText.h"
#include "tests/support/PtyPair.h"
#include "tests/support/RecorderProcess.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScopedWorkDir.h"
#include "tests/support/UserProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

// lumevanta-send run in this process, in a working folder of the test's own.
class Sender : public ::testing::Test {
protected:
    int run(const std::vector<std::string>& args, DeviceOpener opener = TSerialLink::defaultOpener()) {
        out.str({});
        err.str({});
        const std::vector<std::string_view> views(args.begin(), args.end());
        return KeySender(out, err, std::move(opener)).run(parseSendArguments(views));
    }
    // What the recorder logged for the frames it got, in order, until it stays quiet.
    static std::vector<std::string> framesLogged(RecorderProcess& recorder, std::size_t count) {
        std::vector<std::string> frames;
        while (frames.size() < count) {
            const auto line = recorder.readLine();
            if (!line) break;
            if (const auto at = line->find("frame "); at != std::string::npos) frames.push_back(line->substr(at));
        }
        return frames;
    }

    // Without an options file the reasons speak the desktop's language: English here.
    ScopedEnv englishDesktop{{"LANG", QByteArray("C.UTF-8")}};
    ScopedWorkDir dir;
    std::ostringstream out, err;
};

TEST_F(Sender, TheExitStatusSaysHowTheRecorderAnswered) {
    const struct Row {
        const char* answer;
        int status;
        const char* printed;
    } rows[] = {{"x", KeySender::AllOk, "play: ok\n"},
                {"y", KeySender::SomeBusy, "play: busy\n"},
                {"none", KeySender::SomeNoReply, "play: no reply\n"}};
    for (const Row& row : rows) {
        RecorderProcess recorder({"--answer", row.answer});
        const std::string port = recorder.devicePath();
        ASSERT_FALSE(port.empty());
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(run({"--port", port, "--model", "BRW721", "--timeout", "300", "play"}), row.status) << row.answer;
        EXPECT_EQ(out.str(), row.printed);
        EXPECT_EQ(err.str(), "");
        EXPECT_LT(clock.elapsed(), 2000) << "the time-out ends the wait";
        EXPECT_EQ(framesLogged(recorder, 1).at(0).substr(0, 18), "frame id=00 key=50");
    }
}

TEST_F(Sender, AnAnswerAlreadyInTheLineIsNoAnswerToTheKey) {
    PtyPair line;
    line.write({'X'}); // a late answer to an earlier run
    EXPECT_EQ(run({"--port", line.slavePath(), "--model", "BRW721", "--timeout", "300", "play"}),
              KeySender::SomeNoReply);
    EXPECT_EQ(out.str(), "play: no reply\n");
    EXPECT_EQ(line.read(5), (std::vector<std::uint8_t>{0xFF, 0xC0, 0x00, 0x50, 0x7F}));
}

TEST_F(Sender, AnotherUsersOptionsFileDoesNotDecideWhereKeysGo) {
    if (!UserProcess::canSwitchUsers()) GTEST_SKIP() << "needs root to give the file to another user (chown)";
    PtyPair theirs;
    dir.write("options.ini", optionsText("BRW721", theirs.slavePath(), 0, 1));
    ASSERT_EQ(chown(dir.path("options.ini").c_str(), UserProcess::Nobody, UserProcess::Nobody), 0);
    ASSERT_TRUE(std::filesystem::create_directories(ConfigFolder::path()));
    std::ofstream(ConfigFolder::optionsFile()) << optionsText("BRW721", dir.path("mine"), 0, 1);
    EXPECT_EQ(run({"play"}), KeySender::PortFailed) << "the user's own port, not theirs";
    EXPECT_TRUE(theirs.read(1, std::chrono::milliseconds(200)).empty());
    EXPECT_NE(err.str().find(dir.path("options.ini")), std::string::npos) << err.str();
    EXPECT_NE(err.str().find(" nobody "), std::string::npos) << "names the owner: " << err.str();
    EXPECT_NE(err.str().find(dir.path("mine") + ": no such device"), std::string::npos) << err.str();
}

TEST_F(Sender, NamesAndCodesGoOutInOrderWithTheID) {
    RecorderProcess recorder({});
    const std::string port = recorder.devicePath();
    EXPECT_EQ(run({"--port", port, "--model", "fn777", "--id", "3", "ch16", "0x31", "77", "ENTER", "KeyLock"}),
              KeySender::AllOk);
    EXPECT_EQ(out.str(), "ch16: ok\n0x31: ok\n77: ok\nenter: ok\nkeylock: ok\n");
    EXPECT_EQ(framesLogged(recorder, 5),
              (std::vector<std::string>{"frame id=03 key=47 answer=X", "frame id=03 key=31 answer=X",
                                        "frame id=03 key=4D answer=X", "frame id=03 key=0D answer=X",
                                        "frame id=03 key=4B answer=X"}));
}

TEST_F(Sender, APortThatCannotBeOpenedIsNamedWithTheReason) {
    EXPECT_EQ(run({"--port", dir.path("no-such-tty"), "--model", "BRW721", "play"}), KeySender::PortFailed);
    EXPECT_EQ(err.str(), "lumevanta-send: " + dir.path("no-such-tty") +
                             ": no such device: the adapter is not plugged in, or the name is wrong\n");
    EXPECT_EQ(out.str(), "");
    dir.write("plain-file", "not a line");
    EXPECT_EQ(run({"--port", dir.path("plain-file"), "0x50"}), KeySender::PortFailed);
    EXPECT_NE(err.str().find("not a serial device"), std::string::npos) << err.str();
    for (const std::string& hostile : {"COM" + std::string(25, '9'), std::string("COM0"), std::string("COM-1"),
                                       std::string("COM 1"), std::string("tty\x01"), std::string(300, 'x')}) {
        EXPECT_EQ(run({"--port", hostile, "0x50"}), KeySender::PortFailed) << hostile;
        EXPECT_NE(err.str().find("no such device"), std::string::npos) << err.str();
    }
}

TEST_F(Sender, TheReasonSpeaksTheOptionsFilesLanguageElseTheDesktops) {
    const std::string gone = dir.path("gone");
    const std::string russian = "lumevanta-send: " + gone + ": устройства нет: адаптер не подключён или имя неверно\n";
    dir.write("options.ini", optionsText("BRW721", gone, 0, 0));
    EXPECT_EQ(run({"play"}), KeySender::PortFailed);
    EXPECT_EQ(err.str(), russian);
    dir.write("options.ini", optionsText("BRW721", gone, 0, 1));
    EXPECT_EQ(run({"play"}), KeySender::PortFailed);
    EXPECT_EQ(err.str(),
              "lumevanta-send: " + gone + ": no such device: the adapter is not plugged in, or the name is wrong\n");
    std::filesystem::remove(dir.path("options.ini"));
    const ScopedEnv russianDesktop{{"LANG", QByteArray("ru_RU.UTF-8")}};
    EXPECT_EQ(run({"--port", gone, "0x50"}), KeySender::PortFailed);
    EXPECT_EQ(err.str(), russian);
}

TEST_F(Sender, APortAnotherProgramHoldsIsRefused) {
    RecorderProcess recorder({"--answer", "none"});
    const std::string port = recorder.devicePath();
    ChildProcess holder(KEY_SENDER_PATH, {"--port", port, "--timeout", "3000", "0x50"});
    ASSERT_TRUE(recorder.logs("key=50")) << "the other copy has the port";
    EXPECT_EQ(run({"--port", port, "--model", "BRW721", "play"}), KeySender::PortFailed);
    EXPECT_EQ(err.str(), "lumevanta-send: " + port + ": in use by another program\n");
    EXPECT_EQ(holder.exitStatus(), KeySender::SomeNoReply);
    EXPECT_EQ(holder.output(), "0x50: no reply\n");
}

TEST_F(Sender, BadUsageSendsNothingAndSaysWhy) {
    RecorderProcess recorder({});
    const std::string port = recorder.devicePath();
    const struct Row {
        const char* what;
        std::vector<std::string> args;
        const char* says;
    } rows[] = {
        {"unknown option", {"--port", port, "--fast", "play"}, "unknown option '--fast'"},
        {"a misspelt key after a good one",
         {"--port", port, "--model", "BRW721", "play", "pley"},
         "the BRW721 has no key 'pley'; did you mean play?"},
        {"a key of another panel",
         {"--port", port, "--model", "BRW721", "ch05"},
         "the BRW721 has no key 'ch05'; 'lumevanta-send --list --model BRW721' shows them"},
        {"an unknown model",
         {"--port", port, "--model", "BRW999", "play"},
         "no recorder model 'BRW999'; the models are BRW721, "},
        {"a name without a model",
         {"--port", port, "play"},
         "'play' is not a key code, and key names need a recorder model: give --model"},
        {"no key", {"--port", port}, "no key to send"},
        {"a code too large", {"--port", port, "0x100"}, "'0x100' is not a key code"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(run(row.args), KeySender::BadUsage) << row.what;
        EXPECT_NE(err.str().find(std::string("lumevanta-send: ") + row.says), std::string::npos)
            << row.what << ": " << err.str();
        EXPECT_NE(err.str().find("Try 'lumevanta-send --help'."), std::string::npos) << row.what;
    }
    // The recorder logs nothing it did not get: a good frame now is the first it sees.
    EXPECT_EQ(run({"--port", port, "0x01"}), KeySender::AllOk);
    EXPECT_EQ(framesLogged(recorder, 1), std::vector<std::string>{"frame id=00 key=01 answer=X"});
}

TEST_F(Sender, TheOptionsFileGivesTheDefaultsAndFlagsOverrideThem) {
    RecorderProcess recorder({});
    const std::string port = recorder.devicePath();
    dir.write("options.ini", optionsText("BRW777", port, 5));
    EXPECT_EQ(run({"ch10"}), KeySender::AllOk) << err.str();
    EXPECT_EQ(run({"--id", "9", "--model", "BRW773", "chan_2"}), KeySender::AllOk) << err.str();
    dir.write("options.ini", optionsText("BRW721", dir.path("gone"), 5));
    EXPECT_EQ(run({"--port", port, "down"}), KeySender::AllOk) << err.str();
    EXPECT_EQ(framesLogged(recorder, 3),
              (std::vector<std::string>{"frame id=05 key=41 answer=X", "frame id=09 key=32 answer=X",
                                        "frame id=05 key=4E answer=X"}));
}

TEST_F(Sender, AnIDTheOptionsFileCannotAddressSendsNothingUntilOneIsGiven) {
    RecorderProcess recorder({});
    const std::string port = recorder.devicePath();
    std::string text = optionsText("BRW721", port, 4);
    text.replace(text.find("4     ; ID"), 1, "260");
    dir.write("options.ini", text);
    EXPECT_EQ(run({"play"}), KeySender::BadUsage);
    EXPECT_NE(err.str().find("the ID '260' of " + dir.path("options.ini") + " names no recorder (0 to 255)"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(run({"--list"}), KeySender::AllOk) << "listing needs no ID";
    EXPECT_EQ(run({"--id", "4", "play"}), KeySender::AllOk) << err.str();
    EXPECT_EQ(framesLogged(recorder, 1), std::vector<std::string>{"frame id=04 key=50 answer=X"});
}

TEST_F(Sender, TheSettingsFoldersOptionsFileCountsWhenTheWorkingFolderHasNone) {
    RecorderProcess recorder({});
    const std::string port = recorder.devicePath();
    ASSERT_TRUE(std::filesystem::create_directories(ConfigFolder::path()));
    std::ofstream(ConfigFolder::optionsFile(), std::ios::binary) << optionsText("DM773", port, 2);
    EXPECT_EQ(run({"stop"}), KeySender::AllOk) << err.str();
    EXPECT_EQ(framesLogged(recorder, 1), std::vector<std::string>{"frame id=02 key=4E answer=X"});
}

// Each run opens a fresh fake port, which never answers.
class SenderOnFakePort : public Sender {
protected:
    DeviceOpener opener() {
        return [this](const std::string& name, int& error) -> std::shared_ptr<SerialDevice> {
            opened.push_back(name);
            devices.push_back(std::make_shared<FakeSerialDevice>());
            devices.back()->setWritesPend(writesPend);
            error = 0;
            return devices.back();
        };
    }
    std::vector<std::shared_ptr<FakeSerialDevice>> devices;
    std::vector<std::string> opened;
    bool writesPend = false;
};

TEST_F(SenderOnFakePort, SpeedAndPortComeFromTheFileUnlessGiven) {
    dir.write("options.ini", OptionsFile::format({"BRW721", false, false, "ttyUSB3", 4800, 0, 0}));
    EXPECT_EQ(run({"--timeout", "50", "play"}, opener()), KeySender::SomeNoReply);
    EXPECT_EQ(run({"--timeout", "50", "--speed", "19200", "--port", "COM1", "play"}, opener()), KeySender::SomeNoReply);
    EXPECT_EQ(opened, (std::vector<std::string>{"ttyUSB3", "COM1"}));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]->lineSettings().baudRate, 4800u);
    EXPECT_EQ(devices[1]->lineSettings().baudRate, 19200u);
    EXPECT_EQ(devices[1]->written(), (std::vector<std::uint8_t>{0xFF, 0xC0, 0, 'P', 0x7F}))
        << "one frame, nothing more";
    EXPECT_TRUE(devices[1]->closed()) << "the port is let go of at the end";
}

TEST_F(SenderOnFakePort, AStalledLineEndsInNoReplyInsteadOfWaitingForever) {
    writesPend = true;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(run({"--timeout", "10000", "0x50"}, opener()), KeySender::SomeNoReply);
    EXPECT_LT(clock.elapsed(), 5000) << "each byte's write is given half a second";
    EXPECT_EQ(out.str(), "0x50: no reply\n");
}

// Plays a recorder that answers each frame in turn from a script; 0 is no answer.
class ScriptedRecorder {
public:
    explicit ScriptedRecorder(std::vector<std::uint8_t> answers)
        : thread_([this, answers] {
              for (std::uint8_t answer : answers) {
                  if (pty_.read(5, 3s).size() < 5) return;
                  if (answer) pty_.write({answer});
              }
          }) {}
    ~ScriptedRecorder() { thread_.join(); }
    std::string port() const { return pty_.slavePath(); }

private:
    PtyPair pty_;
    std::thread thread_;
};

TEST_F(Sender, TheWorstAnswerOfASequenceDecides) {
    const struct Row {
        std::vector<std::uint8_t> answers;
        int status;
        const char* printed;
    } rows[] = {
        {{'X', 'X', 'X'}, KeySender::AllOk, "0x01: ok\n0x02: ok\n0x03: ok\n"},
        {{'X', 'Y', 'X'}, KeySender::SomeBusy, "0x01: ok\n0x02: busy\n0x03: ok\n"},
        {{'Y', 0, 'X'}, KeySender::SomeNoReply, "0x01: busy\n0x02: no reply\n0x03: ok\n"},
    };
    for (const Row& row : rows) {
        ScriptedRecorder recorder(row.answers);
        EXPECT_EQ(run({"--port", recorder.port(), "--timeout", "300", "0x01", "0x02", "0x03"}), row.status);
        EXPECT_EQ(out.str(), row.printed);
    }
}

TEST_F(Sender, QuietPrintsNothingButKeepsTheStatus) {
    RecorderProcess recorder({"--id", "7", "--answer", "y"});
    const std::string port = recorder.devicePath();
    EXPECT_EQ(run({"--port", port, "--id", "7", "--quiet", "menu", "--model", "BRW774"}), KeySender::SomeBusy);
    EXPECT_EQ(run({"--port", port, "--id", "8", "--timeout", "200", "-q", "0x4D"}), KeySender::SomeNoReply);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(framesLogged(recorder, 2),
              (std::vector<std::string>{"frame id=07 key=4D answer=Y", "frame id=08 key=4D answer=ignored(other id)"}));
}

TEST_F(Sender, ListShowsTheModelsKeysWithTheirCodesAndPcKeys) {
    EXPECT_EQ(run({"--list", "--model", "CALVO111"}), KeySender::AllOk);
    EXPECT_EQ(out.str(), "key         code  PC key\n"
                         "slow        0x53  L\n"
                         "search      0x48  F\n"
                         "enter       0x0D  Enter\n"
                         "menu        0x4D  Esc or Backspace\n"
                         "rec         0x72  R\n"
                         "power       0x57  none\n"
                         "left        0x4C  Left\n"
                         "up          0x55  Up or P\n"
                         "right       0x52  Right\n"
                         "play        0x50  Space\n"
                         "down        0x4E  Down or S\n");
    dir.write("options.ini", optionsText("DM776", "COM1"));
    EXPECT_EQ(run({"--list"}), KeySender::AllOk);
    EXPECT_NE(out.str().find("p_9pic      0x62  N\n"), std::string::npos) << out.str();
    dir.write("options.ini", optionsText("start", "COM1"));
    EXPECT_EQ(run({"--list"}), KeySender::BadUsage);
    EXPECT_NE(err.str().find("no recorder model to list the keys of"), std::string::npos) << err.str();
}

TEST_F(Sender, TheProgramItselfPrintsAndExitsAsRunInProcess) {
    RecorderProcess recorder({});
    const std::string port = recorder.devicePath();
    const struct Row {
        std::vector<std::string> args;
        int status;
        std::string output;
    } rows[] = {
        {{"--port", port, "--model", "BRW721", "play", "menu"}, 0, "play: ok\nmenu: ok\n"},
        {{"--port", port, "--quiet", "0x50"}, 0, ""},
        {{"--port", dir.path("none"), "0x50"},
         3,
         "lumevanta-send: " + dir.path("none") +
             ": no such device: the adapter is not plugged in, or the name is wrong\n"},
        {{"--nonsense"}, 4, "lumevanta-send: unknown option '--nonsense'\nTry 'lumevanta-send --help'.\n"},
    };
    for (const Row& row : rows) {
        ChildProcess sender(KEY_SENDER_PATH, row.args);
        EXPECT_EQ(sender.exitStatus(), row.status) << row.args.back();
        EXPECT_EQ(sender.output(), row.output);
    }
    ChildProcess help(KEY_SENDER_PATH, {"--help"});
    EXPECT_EQ(help.exitStatus(), 0);
    EXPECT_TRUE(help.output().starts_with("Usage: lumevanta-send [--port NAME]")) << help.output();
}

} // namespace
