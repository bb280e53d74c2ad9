// Every route handler through the dispatcher: the input picks a route and
// gives its request text and the bytes the core daemon answers with.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dispatchreq/dispatchreq.h"
#include "fuzz_common.h"
#include "harness.h"
#include "intake/cgi.h"
#include "modules.h"

namespace {

std::vector<std::string> &routes()
{
    static std::vector<std::string> paths = [] {
        std::vector<std::string> p;
        webcgi_register_modules();
        for (int i = 0; i < MAX_WEBREQ_COUNT; i++)
            if (const WebRes *row = WebResSlot(i))
                p.push_back(row->path);
        return p;
    }();
    return paths;
}

std::string g_reply;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A scratch root with a core daemon that answers every request with
    // bytes from the input. Both live as long as the process.
    static nvrtest::TestRoot *root = new nvrtest::TestRoot();
    static nvrtest::FakeDaemon *daemon = [] {
        auto *d = new nvrtest::FakeDaemon(*root);
        // Stop the daemon, then remove the root, when the fuzzer exits.
        atexit([] {
            delete daemon;
            delete root;
        });
        fuzz_quiet();
        d->reply_default([](int32_t code) {
            return std::vector<nvrtest::DaemonReply>{{code == 3109 ? 8103 : code + 5000, g_reply}};
        });
        return d;
    }();
    (void)daemon;
    if (size < 3 || routes().empty())
        return 0;
    const std::string &path = routes()[data[0] % routes().size()];
    // [route][reply length][reply bytes][request text]
    size_t rlen = data[1] < size - 2 ? data[1] : size - 2;
    g_reply.assign(reinterpret_cast<const char *>(data + 2), rlen);
    std::string req(reinterpret_cast<const char *>(data + 2 + rlen), size - 2 - rlen);
    req.resize(strnlen(req.c_str(), req.size()));
    if (req.size() > 30719)
        req.resize(30719);
    DispatchWebReq(path.c_str(), req.c_str());
    return 0;
}
