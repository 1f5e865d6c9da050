#include "python/arguments.hpp"

#include <string_view>

namespace pellimor::python {

Options parse_arguments(const std::vector<std::string>& args) {
    const std::vector<std::string_view> views(args.begin(), args.end());
    return parse_command_line(views);
}

std::string command_line_of(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string program = "pellimor";
    argv.push_back(program.data());
    std::vector<std::string> copies(args);
    for (std::string& arg : copies) {
        argv.push_back(arg.data());
    }
    return shell_quoted(argv);
}

}  // namespace pellimor::python
