#include "notify/smtp_client.h"

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

}  // namespace
}  // namespace korvelin
