// The IRC tab of the window as the operator uses it, against a real IRC
// server (ngircd) on 127.0.0.1 with a second, plain client in the channel.
// The window is the program's own, over a real bot; the test thread is the
// UI thread.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "config/TempFolder.h"
#include "framework/Dispatcher.h"
#include "framework/MessageBox.h"
#include "platform/Clock.h"
#include "res/Resource.h"
#include "support/IrcTestClient.h"
#include "support/NgircdServer.h"
#include "support/Wait.h"
#include "ui/BotApp.h"
#include "ui/IrcDlg.h"

using testsupport::CIrcTestClient;
using testsupport::CNgircdServer;
using testsupport::WaitUntil;

namespace {

constexpr auto kLong = std::chrono::seconds(10);

TEST(IrcDlgAgainstNgircd, OperatorConnectsChatsAndDisconnects) {
    if (!CNgircdServer::Available()) {
        if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
            FAIL() << CNgircdServer::kBinary << " is missing (FR_REQUIRE_PEERS is set)";
        GTEST_SKIP() << CNgircdServer::kBinary << " is not installed";
    }
    CNgircdServer server;
    ASSERT_TRUE(server.Start()) << server.Log();
    CIrcTestClient alice;
    ASSERT_TRUE(alice.Connect(server.Port(), "alice"));
    ASSERT_TRUE(alice.SendLine("JOIN #Relay"));
    ASSERT_TRUE(alice.WaitFor(" 366 alice #Relay "));

    framework::CDispatcher dispatcher;
    dispatcher.BindToCurrentThread();
    framework::CRecordingMessageSink sink;
    testsupport::CTempFolder folder;  // a first start: no settings file there
    ASSERT_TRUE(folder.IsValid());
    ui::CAppOptions options;
    options.m_strSettingsPath = folder / "settings.ini";
    options.m_strUpdateHost.clear();
    ui::CBotApp app(dispatcher, platform::SystemClock(), options);
    ASSERT_TRUE(app.InitInstance(sink));
    ui::CIrcDlg& page = *app.MainDlg()->IrcPage();
    core::CBot& bot = *app.Bot();
    const auto runUntil = [&](auto pred) {
        return WaitUntil(
            [&] {
                dispatcher.RunPending();
                return pred();
            },
            kLong);
    };
    page.TypeText(res::IDC_IRC_NICK, "fragbot");
    page.TypeText(res::IDC_IRC_ALTNICK, "fragbot2");
    page.TypeText(res::IDC_IRC_CHANNEL, "#Relay");
    page.TypeText(res::IDC_IRC_SERVER, "127.0.0.1");
    page.TypeText(res::IDC_IRC_PORT, std::to_string(server.Port()));
    page.TypeText(res::IDC_IRC_TICKETSECS, "60");
    ASSERT_TRUE(page.Click(res::IDC_IRC_CONNECT));
    EXPECT_TRUE(runUntil([&] { return page.GetItemText(res::IDC_IRC_CONNECT) == "Disconnect"; }));
    ASSERT_EQ(sink.Count(), 0u) << sink.Last().m_strText;

    ASSERT_TRUE(alice.WaitFor(":fragbot!~bf1942@127.0.0.1 JOIN :#Relay"))
        << ::testing::PrintToString(alice.Lines());
    ASSERT_TRUE(runUntil([&] { return bot.State().m_irc.m_eState == irc::EIrcState::InChannel; }));

    page.TypeText(res::IDC_IRC_INPUT, "hello from the page");
    page.PressEnter();
    EXPECT_TRUE(alice.WaitFor(":fragbot!~bf1942@127.0.0.1 PRIVMSG #Relay :hello from the page"));
    ASSERT_TRUE(alice.SendLine("PRIVMSG #Relay :hi bot"));
    EXPECT_TRUE(runUntil([&] {
        const std::string strLog = page.GetItemText(res::IDC_IRC_LOG);
        return strLog.find("<fragbot> hello from the page\n<alice> hi bot") != std::string::npos;
    })) << page.GetItemText(res::IDC_IRC_LOG);

    ASSERT_TRUE(page.Click(res::IDC_IRC_CONNECT));
    EXPECT_TRUE(alice.WaitFor(" QUIT :\"v1.3 BETA /// Battlefield 1942 to IRC relay"));
    EXPECT_TRUE(runUntil([&] { return bot.State().m_irc.m_eState == irc::EIrcState::Idle; }));
    EXPECT_EQ(page.GetItemText(res::IDC_IRC_CONNECT), "Connect");
    EXPECT_FALSE(page.IsReadOnly(res::IDC_IRC_SERVER));
    app.ExitInstance();
    dispatcher.RunPending();
}

}  // namespace
