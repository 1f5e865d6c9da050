#pragma once

// Test support: a file's whole text, and text split into lines.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pellimor::testing {

inline std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace pellimor::testing
