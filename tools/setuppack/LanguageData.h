#pragma once
// Language data as the setup reads it from its section: UTF-16LE text that
// starts with the byte-order mark FF FE.
#include <string>

namespace setuppack {

// UTF-8 input (with or without its byte-order mark) is converted; UTF-16LE
// input with its byte-order mark is taken as it is. Other byte-order marks and
// invalid UTF-8 are refused with a message naming the problem.
bool ToUtf16LeWithBom(const std::string& input, std::string& output, std::string& error);

}  // namespace setuppack
