# Turns a binary file into a C++ source that defines the bytes as korvelin::AlarmSoundBytes().
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_len)
math(EXPR size "${hex_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from the alarm sound asset at build time.\n#include <string_view>\nnamespace korvelin {\nstatic const unsigned char kAlarmSound[${size}] = {\n${bytes}\n};\nstd::string_view AlarmSoundBytes() {\n  return {reinterpret_cast<const char*>(kAlarmSound), sizeof kAlarmSound};\n}\n}  // namespace korvelin\n")
