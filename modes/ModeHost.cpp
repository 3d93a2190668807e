#include "ModeHost.h"

namespace {

IModeHost* g_host = nullptr;

} // namespace

IModeHost* ModeHost()
{
    return g_host;
}

void SetModeHost(IModeHost* host)
{
    g_host = host;
}
