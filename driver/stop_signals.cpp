#include "driver/stop_signals.hpp"

#include <csignal>

namespace pellimor {

namespace {

volatile std::sig_atomic_t received = 0;

void remember_signal(int signal_number) {
    received = signal_number;
}

}  // namespace

void install_stop_signals() {
    struct sigaction action {};
    action.sa_handler = remember_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int stop_signal() {
    return received;
}

}  // namespace pellimor
