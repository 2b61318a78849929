// The price history's own texts: its file name, the log entry that says it cannot be kept and
// the reasons, in code page 936. Every literal is written readable in UTF-8 here and converted
// once on first use.
#pragma once

#include <string>

#include "common/code_page.h"

namespace korvelin::history_texts {

#define KORVELIN_HISTORY_TEXT(Name, Utf8)       \
  inline const std::string& Name() {            \
    static const std::string text = Ansi(Utf8); \
    return text;                                \
  }

// The file beside the list file.
KORVELIN_HISTORY_TEXT(FileName, "价格历史.sqlite")

// The one log entry of a history that cannot be kept:
// T "\r\n价格历史无法写入：" file " - " reason "\r\n\r\n".
KORVELIN_HISTORY_TEXT(CannotWritePrefix, "\r\n价格历史无法写入：")
KORVELIN_HISTORY_TEXT(ReasonSeparator, " - ")
KORVELIN_HISTORY_TEXT(EntryEnd, "\r\n\r\n")

// Reasons, by the kind of failure SQLite reports.
KORVELIN_HISTORY_TEXT(ReasonCannotOpen, "无法打开或创建文件")
KORVELIN_HISTORY_TEXT(ReasonNotADatabase, "不是价格历史文件")
KORVELIN_HISTORY_TEXT(ReasonCorrupt, "文件已损坏")
KORVELIN_HISTORY_TEXT(ReasonReadOnly, "文件只读")
KORVELIN_HISTORY_TEXT(ReasonNoPermission, "没有权限")
KORVELIN_HISTORY_TEXT(ReasonDiskFull, "磁盘已满")
KORVELIN_HISTORY_TEXT(ReasonIo, "读写出错")
KORVELIN_HISTORY_TEXT(ReasonBusy, "文件被占用")
KORVELIN_HISTORY_TEXT(ReasonNewerVersion, "文件由较新的程序版本写入")
KORVELIN_HISTORY_TEXT(ReasonOther, "SQLite 错误 ")

// The CSV export: the header line (time, price).
KORVELIN_HISTORY_TEXT(CsvHeader, "时间,价格\r\n")

#undef KORVELIN_HISTORY_TEXT

}  // namespace korvelin::history_texts
