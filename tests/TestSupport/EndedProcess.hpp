#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace veq::testing {

// The id of a process that has ended and been reaped: what a crashed writer leaves in the names
// of its temporary files. Ids are handed out again only after the whole range has wrapped.
inline pid_t endedProcessID() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
    return child;
}

} // namespace veq::testing
