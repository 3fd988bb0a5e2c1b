// SPDX-License-Identifier: GPL-3.0-or-later
// The remote playback session with the libraries, the grid's windows and the
// bar faked: its state table, speed ladders, frame-drop mode, seeks, the
// stream callback's news, the watchdog, stops and sound.
#include "FakePlayback.h"

#include <gtest/gtest.h>

#include <string>

using namespace playback;
using playback_test::FakeBar;
using playback_test::FakeLibrary;

namespace {

std::string frameInfoText(const std::string& time)
{
    return R"({"KEY":"FRAMEINFO","PARAM":{"TIME":")" + time + R"("}})";
}

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        bar.session = &session;
        session.setDevice(7);
        session.setChannelMask(0x3);
    }
    // A callback as the library makes it, handed over as the bar does.
    void callBack(std::uint32_t type, const std::string& text = {}, std::uint32_t code = 0)
    {
        CallbackEvent event = decodeCallback(type, reinterpret_cast<const std::uint8_t*>(text.data()),
                                             static_cast<std::uint32_t>(text.size()), code);
        event.generation = session.generation();
        session.onCallback(event);
    }
    void openWithData()
    {
        session.play();
        callBack(1);
    }
    // Brings the session into a play state from stopped.
    void enter(int state)
    {
        if (state == kStopped)
            return;
        openWithData();
        switch (state) {
        case kPaused: session.pause(); break;
        case kFast: session.fast(); break;
        case kSlow: session.slow(); break;
        case kSingleFrame: session.nextFrame(); break;
        default: break;
        }
        ASSERT_EQ(session.playState(), state);
    }
    void act(char action)
    {
        switch (action) {
        case 'P': session.play(); break;
        case 'U': session.pause(); break;
        case 'F': session.fast(); break;
        case 'S': session.slow(); break;
        case 'N': session.nextFrame(); break;
        case 'X': session.stopPlay(); break;
        }
    }

    FakeLibrary library;
    FakeBar bar;
    PlaybackSession session{library, bar};
};

}  // namespace

TEST_F(Session, PlayNeedsChannelsAndADevice)
{
    session.setChannelMask(0);
    session.play();
    EXPECT_EQ(bar.status, "IE_NoPower");
    EXPECT_EQ(library.commandCount(), 0u);

    session.setChannelMask(1);
    session.setDevice(0);
    session.play();
    EXPECT_EQ(bar.status, "IE_NetworkError");
    EXPECT_EQ(library.commandCount(), 0u);
    EXPECT_EQ(session.playState(), kStopped);
}

TEST_F(Session, OpensOneStreamForAllSelectedChannelsAtTheCursor)
{
    for (const auto& [mask, windows] : std::vector<std::pair<std::uint32_t, int>>{{0x5, 2}, {0x1, 1}, {0xFFFF, 16}}) {
        library.clear();
        session.setChannelMask(mask);
        session.play();
        const auto opens = library.commands("REMOTEPLAY");
        ASSERT_EQ(opens.size(), 1u);
        const Json::Value& param = opens[0]["PARAM"];
        EXPECT_EQ(param["CHANNEL"].asUInt(), mask);
        EXPECT_EQ(param["HDEV"].asUInt(), 7u);
        EXPECT_EQ(param["STREAMTYPE"].asUInt(), 1u);
        EXPECT_EQ(param["FILETYPE"].asUInt(), 2u);
        EXPECT_EQ(param["STARTTIME"].asString(), "20261208101500");
        ASSERT_EQ(param["HWND"].size(), static_cast<unsigned>(windows));
        for (int i = 0; i < windows; ++i) {
            EXPECT_EQ(param["HWND"][i].asUInt(), session.window(i)->viewHandle());
            EXPECT_TRUE(bar.windows[static_cast<std::size_t>(i)]->playing);
        }
        EXPECT_EQ(session.window(windows), nullptr);
        EXPECT_EQ(session.playState(), kPlaying);
        EXPECT_EQ(bar.progress, "IE_Buffering");
        EXPECT_EQ(bar.status, "STR_Playing");
        EXPECT_TRUE(bar.buttonUpdates.back());  // busy until data comes
        EXPECT_FALSE(bar.barEnabled);
        EXPECT_EQ(bar.watchdogMs, kWatchdogMs);
        // A new selection stops the session and frees its windows.
        session.setChannelMask(0);
        EXPECT_EQ(library.count("REMOTEPLAYSTOP"), 1u);
        EXPECT_EQ(session.playState(), kStopped);
        EXPECT_FALSE(bar.windows[0]->playing);
        EXPECT_FALSE(bar.windows[0]->occupied);
    }
}

TEST_F(Session, OpenFailuresLeaveNoWindowTaken)
{
    bar.freeWindows = 0;
    session.play();
    EXPECT_EQ(bar.status, "no wnd resourse");
    EXPECT_EQ(library.count("REMOTEPLAY"), 0u);

    bar.freeWindows = 16;
    for (const auto& [result, status] : std::vector<std::pair<int, QString>>{{6, "IE_NetworkError"}, {7, "Error 7"}, {1, "Error 1"}}) {
        library.setResult("REMOTEPLAY", result);
        session.play();
        EXPECT_EQ(bar.status, status);
        EXPECT_EQ(session.playState(), kStopped);
        EXPECT_EQ(session.playHandle(), 0u);
        EXPECT_FALSE(bar.windows[0]->playing);
        EXPECT_EQ(session.window(0), nullptr);
    }
    // Accepted without a handle: nothing opened, the windows are free again.
    library.setResult("REMOTEPLAY", 0);
    library.setPlayHandle(0);
    session.play();
    EXPECT_EQ(session.playState(), kStopped);
    EXPECT_EQ(session.window(0), nullptr);
    EXPECT_FALSE(bar.windows[0]->occupied);
}

// Every cell of the state table: from a state, an action gives a state.
TEST_F(Session, StateTable)
{
    const int states[] = {kStopped, kPlaying, kPaused, kFast, kSlow, kSingleFrame};
    const char actions[] = {'P', 'U', 'F', 'S', 'N', 'X'};
    //                     Play         Pause     Fast   Slow   Next frame    Stop
    const int expected[6][6] = {
        {kPlaying, kStopped, kStopped, kStopped, kStopped, kStopped},          // stopped
        {kPlaying, kPaused, kFast, kSlow, kSingleFrame, kStopped},             // playing
        {kPlaying, kPaused, kFast, kSlow, kSingleFrame, kStopped},             // paused
        {kPlaying, kPaused, kFast, kSlow, kSingleFrame, kStopped},             // fast
        {kPlaying, kPaused, kFast, kSlow, kSingleFrame, kStopped},             // slow
        {kPlaying, kPaused, kFast, kSlow, kSingleFrame, kStopped},             // single frame
    };
    for (int from = 0; from < 6; ++from) {
        for (int a = 0; a < 6; ++a) {
            SCOPED_TRACE("from " + std::to_string(states[from]) + " action " + actions[a]);
            session.stopPlay();
            enter(states[from]);
            act(actions[a]);
            EXPECT_EQ(session.playState(), expected[from][a]);
            // Leaving fast or slow for playing goes back to speed 1.
            if (expected[from][a] == kPlaying || expected[from][a] == kPaused) {
                EXPECT_EQ(session.speed(), 1);
            }
        }
    }
}

TEST_F(Session, SpeedLadders)
{
    openWithData();
    const int fast[] = {2, 4, 8, 16, 2};
    for (int speed : fast) {
        session.fast();
        EXPECT_EQ(session.speed(), speed);
        EXPECT_EQ(library.calls().back(), "speed(" + std::to_string(speed) + ")");
        EXPECT_EQ(bar.status, QStringLiteral("IE_PlaybackSpeed X%1").arg(speed));
    }
    const char* slowTexts[] = {" X1/2", " X1/4", " X1/8", " X1/16", " X1/2"};
    const int slow[] = {-2, -4, -8, -16, -2};
    for (int i = 0; i < 5; ++i) {
        session.slow();
        EXPECT_EQ(session.speed(), slow[i]);
        EXPECT_EQ(library.calls().back(), "speed(" + std::to_string(slow[i]) + ")");
        EXPECT_EQ(bar.status, QStringLiteral("IE_PlaybackSlow") + QLatin1String(slowTexts[i]));
    }
    EXPECT_EQ(nextFastSpeed(1), 2);
    EXPECT_EQ(nextSlowSpeed(2), -2);
}

TEST_F(Session, FastDropsFramesAndPlayGoesBackToTheFramesTime)
{
    openWithData();
    callBack(2, frameInfoText("20261208101742"));
    session.fast();
    auto loses = library.commands("REMOTEPLAYLOSE");
    ASSERT_EQ(loses.size(), 1u);
    EXPECT_EQ(loses[0]["PARAM"]["VAL"].asUInt(), 1u);
    EXPECT_TRUE(session.frameDropMode());
    session.fast();  // stepping on keeps it, asks nothing more
    EXPECT_EQ(library.count("REMOTEPLAYLOSE"), 1u);
    session.pause();  // pausing keeps it too
    EXPECT_TRUE(session.frameDropMode());
    session.fast();
    EXPECT_EQ(library.count("REMOTEPLAYSEEK"), 0u);

    session.play();
    loses = library.commands("REMOTEPLAYLOSE");
    ASSERT_GE(loses.size(), 2u);
    EXPECT_EQ(loses.back()["PARAM"]["VAL"].asUInt(), 0u);
    const auto seeks = library.commands("REMOTEPLAYSEEK");
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_EQ(seeks[0]["PARAM"]["STARTTIME"].asString(), "20261208101742");
    ASSERT_EQ(bar.selfSeeks.size(), 1u);
    EXPECT_FALSE(session.frameDropMode());
    EXPECT_EQ(session.playState(), kPlaying);
    EXPECT_EQ(bar.progress, "IE_Buffering");

    // Slow and single frames leave it the same way.
    for (char leave : {'S', 'N'}) {
        session.fast();
        act(leave);
        EXPECT_FALSE(session.frameDropMode());
        EXPECT_EQ(library.commands("REMOTEPLAYLOSE").back()["PARAM"]["VAL"].asUInt(), 0u);
    }
    EXPECT_EQ(library.count("REMOTEPLAYSEEK"), 3u);
}

// A paused decoder stays paused whatever its speed: fast and slow play from
// a pause resume it first.
TEST_F(Session, FastOrSlowFromPauseResumesTheDecoder)
{
    for (char action : {'F', 'S'}) {
        session.stopPlay();
        enter(kPaused);
        library.clear();
        act(action);
        ASSERT_FALSE(library.calls().empty());
        EXPECT_EQ(library.calls().front(), "pause(0)");
        EXPECT_NE(session.playState(), kPaused);
    }
}

TEST_F(Session, DecoderFailuresEndTheSession)
{
    struct Case {
        char action;
        std::string failing;
        int from;
    };
    for (const Case& c : std::vector<Case>{{'U', "pause", kPlaying}, {'F', "speed", kPlaying},
                                           {'S', "speed", kPlaying}, {'N', "frame", kPlaying},
                                           {'U', "speed", kFast}}) {
        SCOPED_TRACE(std::string(1, c.action) + " " + c.failing);
        session.stopPlay();
        enter(c.from);
        library.setDecoderResult(c.failing, 3);
        act(c.action);
        EXPECT_EQ(session.playState(), kStopped);
        EXPECT_EQ(bar.status, "IE_PlaybackStop");
        library.setDecoderResult(c.failing, 0);
    }
    // Resuming from a pause reports the decoder's refusal and stays paused.
    session.stopPlay();
    enter(kPaused);
    library.setDecoderResult("pause", 5);
    session.play();
    EXPECT_EQ(bar.status, "pause back result 5");
    EXPECT_EQ(session.playState(), kPaused);
}

TEST_F(Session, NoDecoderShowsTheActionsFailure)
{
    // Without a stream there is no decoder: the texts stay.
    for (const auto& [action, text] : std::vector<std::pair<char, QString>>{
             {'F', "Speed Failed"}, {'S', "Slow Failed"}, {'N', "Next Frame Failed"}}) {
        act(action);
        EXPECT_EQ(bar.status, text);
        EXPECT_EQ(library.commandCount(), 0u);
    }
    // A stream whose decoder cannot be had is stopped.
    openWithData();
    library.setResult("GETDECODER", 1);
    session.fast();
    EXPECT_EQ(session.playState(), kStopped);
    EXPECT_EQ(library.count("REMOTEPLAYSTOP"), 1u);
}

TEST_F(Session, FirstDataEnablesTheBarAndGivesTheActiveWindowSound)
{
    session.setChannelMask(0x7);
    bar.windows[1]->active = true;
    session.play();
    EXPECT_FALSE(bar.barEnabled);
    callBack(1);
    EXPECT_TRUE(bar.barEnabled);
    EXPECT_TRUE(session.firstDataArrived());
    EXPECT_EQ(bar.progress, "");
    EXPECT_FALSE(bar.buttonUpdates.back());
    EXPECT_EQ(library.calls(), (std::vector<std::string>{"sound0(0)", "sound1(1)", "volume(50)", "sound2(0)"}));
    // Once per session.
    callBack(1);
    EXPECT_EQ(library.calls().size(), 4u);

    // Muted: nobody gets sound.
    session.stopPlay();
    session.toggleMute();
    library.clear();
    openWithData();
    EXPECT_EQ(library.calls(), (std::vector<std::string>{"sound0(0)", "sound1(0)", "sound2(0)"}));
}

TEST_F(Session, FirstDataWithoutDecoderKeepsTheSessionOpen)
{
    session.play();
    library.setResult("GETDECODER", 1);
    callBack(1);
    EXPECT_EQ(bar.status, "Failed get decoder!");
    EXPECT_EQ(session.playState(), kPlaying);
    EXPECT_TRUE(bar.barEnabled);
    EXPECT_EQ(library.count("REMOTEPLAYSTOP"), 0u);
}

TEST_F(Session, FrameTimesMoveTheClockAndTheTimeline)
{
    openWithData();
    callBack(2, frameInfoText("20261208101530"));
    const platform::DateTime expected = platform::DateTime::fromParts(2026, 12, 8, 10, 15, 30);
    EXPECT_EQ(session.clock(), expected);
    EXPECT_EQ(bar.playTime, expected);
    // 13 or 15 digits, no date, other keys: nothing changes (but they count).
    const std::uint64_t counted = session.callbackCount();
    for (const std::string& text : {frameInfoText("2026120810153"), frameInfoText("202612081015301"),
                                    frameInfoText("20261308101530"), std::string(R"({"KEY":"OTHER","PARAM":{}})"),
                                    std::string("not json")}) {
        callBack(2, text);
        EXPECT_EQ(session.clock(), expected) << text;
        EXPECT_EQ(bar.playTime, expected) << text;
    }
    EXPECT_EQ(session.callbackCount(), counted + 5);
}

TEST_F(Session, VideoPropertySizesTheSlotsWindow)
{
    openWithData();
    callBack(2, R"({"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":1,"HEIGHT":576,"WIDTH":704}})");
    EXPECT_EQ(bar.windows[1]->width, 704);
    EXPECT_EQ(bar.windows[1]->height, 576);
    // A slot without a window, or out of range: nothing.
    callBack(2, R"({"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":5,"HEIGHT":576,"WIDTH":704}})");
    callBack(2, R"({"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":16,"HEIGHT":576,"WIDTH":704}})");
    EXPECT_EQ(bar.windows[5]->width, 0);
    session.stopPlay();
    EXPECT_EQ(bar.windows[1]->width, 0);  // released windows forget the size
}

TEST_F(Session, StreamEndsAndLosses)
{
    for (const auto& [type, code, status] :
         std::vector<std::tuple<std::uint32_t, std::uint32_t, QString>>{
             {3, 0, "IE_NetworkError"}, {6, 0x17, "IE_NetworkError"}, {4, 52, "IE_PlaybackFailed"}}) {
        openWithData();
        callBack(type, {}, code);
        EXPECT_EQ(session.playState(), kStopped);
        EXPECT_EQ(bar.status, status);
        EXPECT_EQ(session.playHandle(), 0u);
    }
    // Another end code changes nothing.
    openWithData();
    callBack(4, {}, 51);
    EXPECT_EQ(session.playState(), kPlaying);
}

TEST_F(Session, NewsOfAStreamThatIsGoneIsDropped)
{
    openWithData();
    const std::uint32_t old = session.generation();
    session.stopPlay();
    openWithData();
    const std::uint64_t counted = session.callbackCount();
    CallbackEvent lost = decodeCallback(3, nullptr, 0, 0);
    lost.generation = old;
    session.onCallback(lost);
    EXPECT_EQ(session.playState(), kPlaying);
    EXPECT_EQ(session.callbackCount(), counted);
}

TEST_F(Session, BufferingRestartsTheWatchdog)
{
    openWithData();
    callBack(2, frameInfoText("20261208101530"));
    const int starts = bar.watchdogStarts;
    callBack(11);
    EXPECT_EQ(bar.progress, "IE_Buffering");
    EXPECT_EQ(session.callbackCount(), 0u);
    EXPECT_EQ(bar.watchdogStarts, starts + 1);
    callBack(12);
    EXPECT_EQ(bar.progress, "");
    EXPECT_EQ(bar.watchdogMs, 0u);
}

TEST_F(Session, WatchdogStopsAQuietStream)
{
    for (int callbacks : {0, 5, 10}) {
        for (bool data : {false, true}) {
            SCOPED_TRACE(std::to_string(callbacks) + (data ? " with data" : " without data"));
            session.play();
            if (data)
                callBack(1);
            while (session.callbackCount() < static_cast<std::uint64_t>(callbacks))
                callBack(2, frameInfoText("20261208101530"));
            session.onWatchdog();
            EXPECT_EQ(session.playState(), kStopped);
            EXPECT_EQ(bar.status, data ? "IE_NetworkError" : "IE_PlaybackFailed");
            EXPECT_EQ(bar.watchdogMs, 0u);
            EXPECT_TRUE(bar.barEnabled);
            EXPECT_EQ(bar.progress, "");
        }
    }
    // Eleven callbacks: the stream lives.
    openWithData();
    while (session.callbackCount() <= kAliveCallbacks)
        callBack(2, frameInfoText("20261208101530"));
    session.onWatchdog();
    EXPECT_EQ(session.playState(), kPlaying);
    EXPECT_EQ(bar.watchdogMs, 0u);
}

// Paused, stepping or slow, few callbacks come because the decoder holds
// the stream back: the watchdog does not take that for a loss.
TEST_F(Session, WatchdogLeavesAHeldStreamAlone)
{
    for (int state : {kPaused, kSingleFrame, kSlow}) {
        session.stopPlay();
        enter(state);
        session.onWatchdog();
        EXPECT_EQ(session.playState(), state);
        EXPECT_EQ(bar.watchdogMs, 0u);
    }
}

TEST_F(Session, SeekSendsTheTimeAndFollowsTheNewPosition)
{
    const platform::DateTime target = platform::DateTime::fromParts(2026, 12, 8, 9, 0, 5);
    EXPECT_FALSE(session.seek(target));  // no session: default handling
    openWithData();
    callBack(2, frameInfoText("20261208101530"));
    ASSERT_TRUE(session.seek(target));
    const auto seeks = library.commands("REMOTEPLAYSEEK");
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_EQ(seeks[0]["PARAM"]["STARTTIME"].asString(), "20261208090005");
    EXPECT_EQ(seeks[0]["PARAM"]["HPLAY"].asUInt(), 0x51u);
    EXPECT_EQ(session.clock(), target);
    EXPECT_EQ(bar.progress, "IE_Buffering");
    EXPECT_TRUE(bar.buttonUpdates.back());
    EXPECT_EQ(bar.watchdogMs, kWatchdogMs);
    EXPECT_EQ(session.callbackCount(), 0u);
    // A frame time of the old position still on its way does not move the
    // clock back; after the new position's first data they count again.
    callBack(2, frameInfoText("20261208101531"));
    EXPECT_EQ(session.clock(), target);
    callBack(1);
    callBack(2, frameInfoText("20261208090006"));
    EXPECT_EQ(session.clock(), platform::DateTime::fromParts(2026, 12, 8, 9, 0, 6));
}

TEST_F(Session, FailedSeekEndsTheSessionWithoutAWatchdog)
{
    openWithData();
    library.setResult("REMOTEPLAYSEEK", 6);
    ASSERT_TRUE(session.seek(platform::DateTime::fromParts(2026, 12, 8, 9, 0, 0)));
    EXPECT_EQ(session.playState(), kStopped);
    EXPECT_EQ(library.count("REMOTEPLAYSTOP"), 1u);
    EXPECT_EQ(bar.watchdogMs, 0u);  // no failure text ten seconds later
}

TEST_F(Session, StopResults)
{
    openWithData();
    library.setResult("REMOTEPLAYSTOP", 7);
    session.stopPlay();
    EXPECT_EQ(bar.status, "Stop Failed 7");
    EXPECT_EQ(session.playHandle(), 0x51u);  // kept for the next stop
    EXPECT_EQ(session.window(0), nullptr);   // the windows are free all the same
    EXPECT_TRUE(bar.barEnabled);

    // A handle the library does not know is no stream: stopped.
    library.setResult("REMOTEPLAYSTOP", 1);
    session.stopPlay();
    EXPECT_EQ(session.playState(), kStopped);
    EXPECT_EQ(session.playHandle(), 0u);
    EXPECT_EQ(session.sessionDecoder(), 0u);

    // Nothing open: nothing sent.
    session.stopPlay();
    EXPECT_EQ(library.count("REMOTEPLAYSTOP"), 2u);
}

TEST_F(Session, RecordTypeAndDay)
{
    openWithData();
    session.setRecordType(7);  // all, as 2 is: nothing changes
    EXPECT_EQ(session.recordType(), 2u);
    EXPECT_EQ(session.playState(), kPlaying);
    session.setRecordType(0);
    EXPECT_EQ(session.playState(), kStopped);
    session.play();
    EXPECT_EQ(library.commands("REMOTEPLAY").back()["PARAM"]["FILETYPE"].asUInt(), 0u);

    const platform::DateTime day = platform::DateTime::fromParts(2026, 12, 7);
    session.setDay(day);
    EXPECT_EQ(session.playState(), kStopped);
    EXPECT_EQ(session.clock(), day);
    EXPECT_EQ(bar.status, "IE_PlaybackStop");
}

TEST_F(Session, SingleFramesSilenceTheSoundUntilPlayAgain)
{
    openWithData();
    library.clear();
    session.nextFrame();
    EXPECT_TRUE(session.singleFrameSilence());
    EXPECT_EQ(library.calls(), (std::vector<std::string>{"frame(1)", "sound0(0)"}));
    library.clear();
    session.play();
    EXPECT_FALSE(session.singleFrameSilence());
    EXPECT_EQ(library.calls(), (std::vector<std::string>{"pause(0)", "sound0(1)", "volume(50)"}));
}

TEST_F(Session, SoundFollowsTheChosenWindowMuteAndVolume)
{
    session.setChannelMask(0x3);
    openWithData();
    library.clear();
    session.selectSoundWindow(1);
    EXPECT_EQ(library.calls(), (std::vector<std::string>{"sound0(0)", "sound1(1)", "volume(50)"}));
    library.clear();
    session.toggleMute();
    EXPECT_TRUE(session.muted());
    EXPECT_EQ(library.calls(), (std::vector<std::string>{"sound1(0)"}));
    library.clear();
    session.setVolume(140);  // clamped, and unmutes
    EXPECT_EQ(session.volume(), 100);
    EXPECT_FALSE(session.muted());
    EXPECT_EQ(library.calls(), (std::vector<std::string>{"volume(100)", "sound1(1)", "volume(100)"}));

    // Without a session the volume stays.
    session.stopPlay();
    session.setVolume(20);
    EXPECT_EQ(session.volume(), 100);
}
