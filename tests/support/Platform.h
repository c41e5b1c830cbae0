// What the tests need to know or do differently on each platform.
#pragma once

#include <functional>
#include <string>

// Sets `name` to `value` for this process and the programs it starts.
void SetEnvironment(const char* name, const char* value);

// How an INI file's lines end: as the platform's own text files do.
extern const char* const kIniLineEnd;

// What an INI file holds for `text` written with "\n" line ends.
inline std::string IniLines(std::string text)
{
    const std::string end = kIniLineEnd;
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += end.size())
        text.replace(at, 1, end);
    return text;
}

// How the calling thread is scheduled, in the platform's own terms: "idle" for the
// lowest class there is, else "nice N" (Linux) or "priority N" (Windows).
std::string ThreadScheduling();

// What ThreadScheduling() says on an event thread of TComThreadPriority `priority`
// (cpIdle is 0); a priority this process may not give its threads leaves what the
// calling thread would hand on.
std::string EventThreadScheduling(int priority);

// Runs `action` while the system can start no thread (no stack can be had for one);
// false, with `action` not run, where the platform cannot arrange that.
bool WithoutNewThreads(const std::function<void()>& action);
