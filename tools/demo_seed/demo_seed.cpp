// demo_seed: fills a config store from a readable seed file.
//
//   NVR_ROOT=DIR demo_seed SEEDFILE
//
// One record per line, "KIND field=value ...": param, user, camera, disk,
// motion (see demo/seed.txt). A value with blanks goes in double quotes.
// Fields not named stay zero. The store calls are the ones webcgi uses, so
// the store comes out exactly as the recorder would keep it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "outside/qxdb.h"

namespace {

using Fields = std::map<std::string, std::string>;

struct Line {
    int no = 0;
    std::string kind;
    Fields fields;
    std::vector<std::string> words; // for "param NAME VALUE"
};

bool fail(const Line &l, const std::string &what)
{
    fprintf(stderr, "demo_seed: line %d: %s\n", l.no, what.c_str());
    return false;
}

// Splits a line into words; "..." keeps blanks inside one word (also after "=").
bool split_words(const std::string &s, std::vector<std::string> &out)
{
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r'))
            i++;
        if (i >= s.size())
            break;
        std::string w;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t' && s[i] != '\r') {
            if (s[i] == '"') {
                size_t end = s.find('"', i + 1);
                if (end == std::string::npos)
                    return false;
                w += s.substr(i + 1, end - i - 1);
                i = end + 1;
            } else {
                w += s[i++];
            }
        }
        out.push_back(w);
    }
    return true;
}

bool to_int(const Line &l, const std::string &key, const std::string &v, int32_t &out)
{
    errno = 0;
    char *end = nullptr;
    long long n = strtoll(v.c_str(), &end, 0);
    if (v.empty() || *end || errno || n < INT32_MIN || n > UINT32_MAX)
        return fail(l, "bad number for " + key + ": " + v);
    out = static_cast<int32_t>(n);
    return true;
}

// Takes the named fields from the line; anything left over is a typo.
class Taker {
public:
    explicit Taker(const Line &l) : l_(l), left_(l.fields) {}
    bool ok = true;

    int32_t num(const char *key, int32_t def = 0)
    {
        auto it = left_.find(key);
        if (it == left_.end())
            return def;
        int32_t v = def;
        ok = to_int(l_, key, it->second, v) && ok;
        left_.erase(it);
        return v;
    }
    std::string text(const char *key, const char *def = "")
    {
        auto it = left_.find(key);
        if (it == left_.end())
            return def;
        std::string v = it->second;
        left_.erase(it);
        return v;
    }
    bool has(const char *key) const { return left_.count(key) != 0; }
    bool done()
    {
        for (const auto &kv : left_)
            ok = fail(l_, "unknown field " + kv.first + " for " + l_.kind) && ok;
        return ok;
    }

private:
    const Line &l_;
    Fields left_;
};

// Bits 0-31 of a "0"/"1" channel string, as the record keeps them.
uint32_t mask_of(const std::string &chans)
{
    uint32_t m = 0;
    for (size_t i = 0; i < chans.size() && i < 32; i++)
        if (chans[i] == '1')
            m |= 1u << i;
    return m;
}

bool seed_param(const Line &l)
{
    if (l.words.size() != 3)
        return fail(l, "expected: param NAME VALUE");
    const std::string &name = l.words[1], &value = l.words[2];
    char *end = nullptr;
    long n = strtol(value.c_str(), &end, 10);
    int rc = (!value.empty() && !*end) ? set_param_int(CONFIG_DB_PATH, name.c_str(), static_cast<int32_t>(n))
                                       : set_param_value(CONFIG_DB_PATH, name.c_str(), value.c_str());
    return rc == 0 || fail(l, "store refused param " + name);
}

bool seed_user(const Line &l)
{
    Taker t(l);
    UserRecord u{};
    u.enable = 1;
    std::string name = t.text("name");
    copy_text(u.name, name.c_str());
    copy_text(u.password, t.text("md5").c_str());
    u.type = t.num("type");
    u.permission = t.num("permission");
    u.remote_permission = t.num("remotePermission");
    std::string all = t.text("channels");
    std::string strings[4] = {t.text("localliveview", all.c_str()), t.text("localplayback", all.c_str()),
                              t.text("remoteliveview", all.c_str()), t.text("remoteplayback", all.c_str())};
    char *fields[4] = {u.local_liveview, u.local_playback, u.remote_liveview, u.remote_playback};
    for (int i = 0; i < 4; i++) {
        snprintf(fields[i], sizeof u.local_liveview, "%.64s", strings[i].c_str());
        u.channel_mask[i] = mask_of(strings[i]);
    }
    // Rights as ten "0"/"1" characters, in the order the login answer lists them.
    std::string rights = t.text("rights", "1111111111");
    std::string local = t.text("localRights", rights.c_str()), remote = t.text("remoteRights", rights.c_str());
    for (int i = 0; i < 10; i++) {
        u.local_rights[i] = i < static_cast<int>(local.size()) && local[i] == '1';
        u.remote_rights[i] = i < static_cast<int>(remote.size()) && remote[i] == '1';
    }
    copy_text(u.created, "0");
    if (!t.done())
        return false;
    if (name.empty())
        return fail(l, "user without name");
    return add_user(CONFIG_DB_PATH, &u) == 0 || fail(l, "store refused user " + name);
}

bool seed_camera(const Line &l)
{
    Taker t(l);
    CameraRecord c{};
    OsdRecord osd{};
    int32_t chn = t.num("chn", -1);
    c.id = chn;
    osd.chnid = chn;
    copy_text(osd.name, t.text("name").c_str());
    osd.show_name = 1;
    osd.show_date = 1;
    c.enable = t.num("enable", 1);
    copy_text(c.ip_addr, t.text("ip").c_str());
    c.manage_port = t.num("port", 80);
    copy_text(c.user_name, t.text("user").c_str());
    copy_text(c.password, t.text("password").c_str());
    c.model = t.num("protocol");
    c.transmit_protocol = t.num("transport");
    c.sync_time = t.num("syncTime", 1);
    c.main_rtsp_port = t.num("rtspPort", 554);
    c.sub_rtsp_port = c.main_rtsp_port;
    c.enable_sub_stream = 1;
    copy_text(c.main_rtsp_url, t.text("mainRtspUrl").c_str());
    copy_text(c.sub_rtsp_url, t.text("subRtspUrl").c_str());
    copy_text(c.mac_addr, t.text("mac").c_str());
    c.poechannel = t.num("poechannel");
    c.physicalport = t.num("physicalport");
    if (!t.done())
        return false;
    if (write_camera(CONFIG_DB_PATH, &c) != 0 || write_osd(CONFIG_DB_PATH, &osd) != 0)
        return fail(l, "store refused camera " + std::to_string(chn));
    return true;
}

bool seed_disk(const Line &l)
{
    Taker t(l);
    DiskRecord d{};
    d.slot = t.num("slot", -1);
    d.enable = t.num("enable", 1);
    d.type = t.num("type");
    d.group = t.num("group");
    d.property = t.num("property");
    copy_text(d.vendor, t.text("vendor").c_str());
    copy_text(d.address, t.text("address").c_str());
    copy_text(d.directory, t.text("directory").c_str());
    copy_text(d.user, t.text("user").c_str());
    copy_text(d.password, t.text("password").c_str());
    if (!t.done())
        return false;
    return write_disk(CONFIG_DB_PATH, &d) == 0 || fail(l, "store refused disk " + std::to_string(d.slot));
}

// A weekly schedule with one slot per day (rows 0-7), "HH:MM-HH:MM".
bool schedule_of(const Line &l, const std::string &span, int32_t action, ScheduleRecord &s)
{
    memset(&s, 0, sizeof s);
    size_t dash = span.find('-');
    if (dash == std::string::npos)
        return fail(l, "schedule must be HH:MM-HH:MM: " + span);
    for (auto &day : s.day) {
        copy_text(day.seg[0].start_time, span.substr(0, dash).c_str());
        copy_text(day.seg[0].end_time, span.substr(dash + 1).c_str());
        day.seg[0].action_type = action;
    }
    return true;
}

bool seed_motion(const Line &l)
{
    Taker t(l);
    MotionRecord m{};
    m.chnid = t.num("chn", -1);
    m.enable = t.num("enable");
    m.sensitivity = t.num("sensitivity");
    std::string tri = t.text("triChannels");
    copy_text(m.tri_channels, tri.c_str());
    m.tri_channel_mask = mask_of(tri);
    m.tri_alarms = t.num("triAlarms");
    m.interval = t.num("interval");
    m.enable_qx = t.num("enableQX");
    copy_text(m.motion_table, t.text("motionTable").c_str());
    m.email_enable = t.num("email_enable");
    m.email_interval = t.num("email_interval");
    m.email_pic_enable = t.num("email_pic_enable");
    copy_text(m.tri_channels_pic, t.text("tri_channels_pic").c_str());
    m.ptz_interval = t.num("ptz_interval");
    m.alarmout_interval = t.num("alarmout_interval");
    m.white_interval = t.num("white_interval");
    m.http_notification_interval = t.num("http_notification_interval");
    m.audio_id = t.num("audioId");
    std::string effective = t.text("effective");
    if (!t.done())
        return false;
    if (write_motion(CONFIG_DB_PATH, &m) != 0)
        return fail(l, "store refused motion " + std::to_string(m.chnid));
    if (!effective.empty()) {
        ScheduleRecord s;
        if (!schedule_of(l, effective, 1, s))
            return false;
        if (write_motion_effective_schedule(CONFIG_DB_PATH, &s, m.chnid) != 0)
            return fail(l, "store refused schedule");
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: NVR_ROOT=DIR demo_seed SEEDFILE\n");
        return 2;
    }
    FILE *f = fopen(argv[1], "r");
    if (!f) {
        fprintf(stderr, "demo_seed: cannot read %s\n", argv[1]);
        return 1;
    }
    char buf[4096];
    int no = 0, records = 0;
    bool ok = true;
    while (ok && fgets(buf, sizeof buf, f)) {
        no++;
        std::string s(buf);
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        size_t hash = s.find('#');
        if (hash != std::string::npos && s.find('"') > hash)
            s.resize(hash);
        Line l;
        l.no = no;
        if (!split_words(s, l.words)) {
            ok = fail(l, "unbalanced quote");
            break;
        }
        if (l.words.empty())
            continue;
        l.kind = l.words[0];
        for (size_t i = 1; i < l.words.size() && l.kind != "param"; i++) {
            size_t eq = l.words[i].find('=');
            if (eq == std::string::npos) {
                ok = fail(l, "expected field=value: " + l.words[i]);
                break;
            }
            l.fields[l.words[i].substr(0, eq)] = l.words[i].substr(eq + 1);
        }
        if (!ok)
            break;
        if (l.kind == "param")
            ok = seed_param(l);
        else if (l.kind == "user")
            ok = seed_user(l);
        else if (l.kind == "camera")
            ok = seed_camera(l);
        else if (l.kind == "disk")
            ok = seed_disk(l);
        else if (l.kind == "motion")
            ok = seed_motion(l);
        else
            ok = fail(l, "unknown kind " + l.kind);
        records += ok;
    }
    fclose(f);
    if (!ok)
        return 1;
    printf("seeded %d records from %s\n", records, argv[1]);
    return 0;
}
