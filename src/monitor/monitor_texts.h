// The monitoring engine's own texts: log entries, captions and alert texts, in code page 936.
// Every literal is written readable in UTF-8 here and converted once on first use.
#pragma once

#include <string>

#include "common/code_page.h"

namespace korvelin::monitor_texts {

#define KORVELIN_MONITOR_TEXT(Name, Utf8)       \
  inline const std::string& Name() {            \
    static const std::string text = Ansi(Utf8); \
    return text;                                \
  }

// Check entries: T "\r\n" name " - 价格：" price " ---- 耗时:" ms "\r\n\r\n" (the first colon is
// the full-width one, the second the ASCII one).
KORVELIN_MONITOR_TEXT(PriceLabel, " - 价格：")
KORVELIN_MONITOR_TEXT(ElapsedLabel, " ---- 耗时:")
KORVELIN_MONITOR_TEXT(NoPriceSuffix, " - 超时了！\r\n\r\n")
KORVELIN_MONITOR_TEXT(DropSuffix, " - 降价了！\r\n\r\n")
// The mark of column 降价 for a price at or below target.
KORVELIN_MONITOR_TEXT(DropMark, "√")

// Why a check found no price: T "\r\n" name + one of these + "\r\n\r\n", after the no-price entry.
KORVELIN_MONITOR_TEXT(CauseCaptcha, " - 原因：网站要求验证码")
KORVELIN_MONITOR_TEXT(CauseUnavailable, " - 原因：商品暂时无货")
KORVELIN_MONITOR_TEXT(CauseNoPriceOnPage, " - 原因：页面上没有价格")
KORVELIN_MONITOR_TEXT(CauseNoReply, " - 原因：没有收到回复")
// A captcha pause starts: T "\r\n" country + PauseMiddle + minutes + PauseEnd.
KORVELIN_MONITOR_TEXT(PauseMiddle, " - 网站要求验证码，暂停检查")
KORVELIN_MONITOR_TEXT(PauseEnd, "分钟\r\n\r\n")

// The start price marker is this text followed by the marketplace's price marker; the price
// ends at the next "<".
inline const std::string& PriceAttribute() {
  static const std::string text = "class=\"price\"";
  return text;
}
inline const std::string& PriceEnd() {
  static const std::string text = "<";
  return text;
}

// Scheduler entries: start T "\r\n" frequency "秒后进行监控~\r\n"; stop T "监控停止\r\n..."
// (nothing between T and 监控停止).
KORVELIN_MONITOR_TEXT(StartSuffix, "秒后进行监控~\r\n")
KORVELIN_MONITOR_TEXT(StopEntryText, "监控停止\r\n仍有线程在工作中，整等待停止...\r\n")
KORVELIN_MONITOR_TEXT(RunningCountCaption, "当前监控数：")
// A tick that reached the bound: T "\r\n" "当前监控数已达上限" bound "，还有" rows left
// "个产品留到下次检查\r\n\r\n".
KORVELIN_MONITOR_TEXT(BoundReachedPrefix, "当前监控数已达上限")
KORVELIN_MONITOR_TEXT(BoundReachedMiddle, "，还有")
KORVELIN_MONITOR_TEXT(BoundReachedSuffix, "个产品留到下次检查\r\n\r\n")

// Ledger key suffixes; the SMS key is shared by every product.
KORVELIN_MONITOR_TEXT(OpenPageKeySuffix, "_链接|")
KORVELIN_MONITOR_TEXT(SoundKeySuffix, "_报警|")
KORVELIN_MONITOR_TEXT(MailKeySuffix, "_邮件|")
KORVELIN_MONITOR_TEXT(SmsKey, "user_短信|")

// Balloon: title is the product name, message "有货了！\r\n" + T.
KORVELIN_MONITOR_TEXT(BalloonMessagePrefix, "有货了！\r\n")
// Mail: subject name " - 有货啦！"; body "产品：" name "\r\n时间：" T "\r\n链接：" reviews address.
KORVELIN_MONITOR_TEXT(MailSubjectSuffix, " - 有货啦！")
KORVELIN_MONITOR_TEXT(MailBodyProduct, "产品：")
KORVELIN_MONITOR_TEXT(MailBodyTime, "\r\n时间：")
KORVELIN_MONITOR_TEXT(MailBodyLink, "\r\n链接：")

#undef KORVELIN_MONITOR_TEXT

}  // namespace korvelin::monitor_texts
