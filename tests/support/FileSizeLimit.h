#pragma once

#include <sys/resource.h>

#include <csignal>

// While alive, no file of this process may grow past `bytes`: a longer write
// is cut short, as on a full disk (SIGXFSZ ignored, so the write returns).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &_previous);
        const rlimit limit{bytes, _previous.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        _handler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &_previous);
        std::signal(SIGXFSZ, _handler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit _previous{};
    void (*_handler)(int) = SIG_DFL;
};
