#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The process's resident memory now, in MiB (from /proc/self/statm).
inline double ResidentMb()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The part of it no other process can share: anonymous pages (the heap, the stacks), from the
// "RssAnon" line of /proc/self/status; the rest are pages of mapped files (code, fonts), which
// the system may drop and read again. In MiB; 0 where the line is missing.
inline double ResidentAnonMb()
{
    double kib = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "RssAnon:", 8) == 0) {
                kib = std::strtod(line + 8, nullptr);
                break;
            }
        std::fclose(f);
    }
    return kib / 1024.0;
}
