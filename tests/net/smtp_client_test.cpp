#include "net/smtp_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/fake_smtp.h"

namespace korvelin {
namespace {

TEST(SmtpClient, AnUnansweredQuitDoesNotHoldTheSenderBeyondItsTimeOut) {
  testing::FakeSmtpOptions options;
  options.ignoreQuit = true;
  testing::FakeSmtp smtp(options);
  const SmtpEndpoint endpoint{"127.0.0.1", smtp.Port(), 3000, 2000};
  const SmtpLogin login{"user@qq.com", "secret"};
  const std::string mail = ComposeMail("user@qq.com", "to@qq.com", "s", "b");

  // The mail was accepted before the QUIT; the client gives up on the reply and closes.
  EXPECT_EQ(SendSmtpMail(endpoint, login, "user@qq.com", "to@qq.com", mail), "");
  EXPECT_TRUE(VerifySmtpLogin(endpoint, login));
  EXPECT_EQ(smtp.Messages().size(), 1u);
  // The server notices each close a moment after the client made it.
  for (int i = 0; i < 200 && smtp.ClosedAtUnansweredQuit() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(smtp.ClosedAtUnansweredQuit(), 2);
}

// The result forms keep the error text; the plain routines give the same verdict.
TEST(SmtpClient, ResultFormsKeepTheErrorText) {
  testing::FakeSmtpOptions noAuth;
  noAuth.authMechanisms = "";
  testing::FakeSmtp withoutAuth(noAuth);
  testing::FakeSmtpOptions refusing;
  refusing.accept = [](const std::string&, const std::string&) { return false; };
  testing::FakeSmtp refusingServer(refusing);
  testing::FakeSmtp accepting;
  int closedPort = 0;
  {
    testing::FakeSmtp gone;
    closedPort = gone.Port();
  }
  const SmtpLogin login{"user@qq.com", "secret"};
  const std::string mail = ComposeMail("user@qq.com", "to@qq.com", "s", "b");

  struct Case {
    int port;
    bool loginOk;
    bool sendOk;
  };
  for (const Case& c :
       {Case{accepting.Port(), true, true}, Case{withoutAuth.Port(), false, false},
        Case{refusingServer.Port(), false, false}, Case{closedPort, false, false}}) {
    SCOPED_TRACE(c.port);
    const SmtpEndpoint endpoint{"127.0.0.1", c.port, 3000, 5000};
    const SmtpResult check = CheckSmtpLogin(endpoint, login);
    EXPECT_EQ(check.Ok(), c.loginOk);
    EXPECT_EQ(check.error.empty(), c.loginOk);
    EXPECT_EQ(VerifySmtpLogin(endpoint, login), c.loginOk);
    const SmtpResult sent = SendSmtpMailResult(endpoint, login, "user@qq.com", "to@qq.com", mail);
    EXPECT_EQ(sent.Ok(), c.sendOk);
    EXPECT_EQ(sent.error.empty(), sent.curlCode == 0);
    EXPECT_EQ(SendSmtpMail(endpoint, login, "user@qq.com", "to@qq.com", mail), sent.error);
  }
  const SmtpResult noRecipient =
      SendSmtpMailResult(SmtpEndpoint{"127.0.0.1", accepting.Port()}, login, "a@qq.com", "", mail);
  EXPECT_EQ(noRecipient.error, "no recipient");
  // A server without authentication completes the session, but no login was accepted.
  const SmtpResult unauthenticated =
      CheckSmtpLogin(SmtpEndpoint{"127.0.0.1", withoutAuth.Port()}, login);
  EXPECT_EQ(unauthenticated.curlCode, 0);
  EXPECT_EQ(unauthenticated.error, "no login accepted");
}

}  // namespace
}  // namespace korvelin
