// The update sequence driven by the 500 ms tick of the status window.
#pragma once

#include <cstdint>
#include <string>

// What the sequence sees of the window and its event loop.
class StageHost {
public:
    virtual ~StageHost() = default;
    virtual void SetStatus(const std::u16string& text) = 0;
    virtual void StopTick() = 0;
    virtual void FlushPendingMessages() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    virtual void RequestClose() = 0;
};

// The operations the sequence calls; results as the install operations define them.
class StageOperations {
public:
    virtual ~StageOperations() = default;
    virtual uint32_t GetProcessIdFromName(const std::string& name) = 0;
    virtual int CheckVersion() = 0;
    virtual void MendRegistry() = 0;
    virtual void RemoveLeftovers() = 0;
    virtual int CopyFiles() = 0;
    virtual void UpdateDesktopLinks() = 0;
    virtual int StartProcess(const std::string& name) = 0;
    virtual void RestartSystem() = 0;
};

// One tick. While the client runs it only asks the user to close it; the first tick that finds
// no client stops the tick and runs the whole update inside this call.
void HandleTimer(StageHost& host, StageOperations& operations);
