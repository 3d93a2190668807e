#include "BrowserHost.h"

namespace {

IBrowserHost* g_host = nullptr;

} // namespace

IBrowserHost* BrowserHost()
{
    return g_host;
}

void SetBrowserHost(IBrowserHost* host)
{
    g_host = host;
}
