// vuxad: the virtual token driver daemon.  Loads token images, serves the
// driver core over the driver socket protocol, and keeps every image file
// in step with its token.
#include <csignal>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "listener.h"
#include "options.h"
#include "server.h"
#include "socket_dir.h"
#include "token_host.h"
#include "vtd_manage.h"

namespace {

volatile sig_atomic_t stop_requested = 0;

void request_stop(int)
{
    stop_requested = 1;
}

// Blocks the stop signals outside the wait and returns the mask to wait
// with, in which they are open.
sigset_t install_signal_handlers()
{
    struct sigaction action {};
    action.sa_handler = request_stop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t stops, wait_mask;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigprocmask(SIG_BLOCK, &stops, &wait_mask);
    sigdelset(&wait_mask, SIGTERM);
    sigdelset(&wait_mask, SIGINT);
    return wait_mask;
}

void load_tokens(vuxad::TokenHost &host, const vuxad::Options &options)
{
    if (options.images.size() > VTD_POSITIONS)
        throw std::runtime_error("at most " + std::to_string(VTD_POSITIONS) +
                                 " token images: the driver has " + std::to_string(VTD_POSITIONS) +
                                 " positions");
    uint32_t position = 0;
    for (const vuxad::ImageArg &image : options.images) {
        if (image.create)
            host.create(position, image.path, *image.create);
        else
            host.load(position, image.path);
        ++position;
    }
}

int serve(vuxad::TokenHost &host, const vuxad::Options &options)
{
    sigset_t wait_mask = install_signal_handlers();
    std::string dir = options.dir.empty() ? vuxad::default_socket_dir() : options.dir;
    vuxad::prepare_socket_dir(dir);
    std::string path = vuxad::socket_path(dir);
    int listen_fd = vuxad::open_listener(path);
    fprintf(stderr, "vuxad: serving %zu token(s) on %s\n", options.images.size(), path.c_str());
    {
        vuxad::Server server(listen_fd, host);
        server.run(&stop_requested, wait_mask);
    }
    close(listen_fd);
    unlink(path.c_str());
    fprintf(stderr, "vuxad: stopped\n");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    vuxad::Options options;
    try {
        options = vuxad::parse_options(argc, argv);
    } catch (const std::invalid_argument &e) {
        fprintf(stderr, "vuxad: %s\n\n%s", e.what(), vuxad::usage_text());
        return 2;
    }
    if (options.help) {
        fputs(vuxad::usage_text(), stdout);
        return 0;
    }
    try {
        vuxad::TokenHost host;
        load_tokens(host, options);
        return options.create_only ? 0 : serve(host, options);
    } catch (const std::exception &e) {
        fprintf(stderr, "vuxad: %s\n", e.what());
        return 1;
    }
}
