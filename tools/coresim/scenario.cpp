#include "scenario.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool read_file(const std::string &path, std::string &out)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[8192];
    size_t n;
    out.clear();
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return true;
}

bool parse_long(const std::string &s, long long lo, long long hi, long long &v)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    v = strtoll(s.c_str(), &end, 0);
    return errno == 0 && *end == '\0' && v >= lo && v <= hi;
}

std::vector<std::string> split(const std::string &s, char sep)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= s.size()) {
        size_t j = s.find(sep, i);
        if (j == std::string::npos)
            j = s.size();
        out.push_back(s.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

template <typename T>
void append_le(std::string &out, T v)
{
    out.append(reinterpret_cast<const char *>(&v), sizeof v);
}

// One payload item; appends its bytes.
bool parse_item(const std::string &item, const std::string &base_dir, std::string &out, std::string &err)
{
    size_t colon = item.find(':');
    std::string kind = item.substr(0, colon), arg = colon == std::string::npos ? "" : item.substr(colon + 1);
    long long v;
    if (kind == "i32" || kind == "i64" || kind == "u8") {
        for (const std::string &n : split(arg, ',')) {
            bool ok = kind == "u8"    ? parse_long(n, 0, 255, v)
                      : kind == "i32" ? parse_long(n, INT32_MIN, UINT32_MAX, v)
                                      : parse_long(n, INT64_MIN, INT64_MAX, v);
            if (!ok)
                return err = "bad number \"" + n + "\" in " + item, false;
            if (kind == "u8")
                out += static_cast<char>(v);
            else if (kind == "i32")
                append_le(out, static_cast<uint32_t>(v));
            else
                append_le(out, static_cast<int64_t>(v));
        }
        return true;
    }
    if (kind == "hex") {
        if (arg.size() % 2)
            return err = "odd number of hex digits in " + item, false;
        for (size_t i = 0; i < arg.size(); i += 2) {
            if (!parse_long("0x" + arg.substr(i, 2), 0, 255, v))
                return err = "bad hex in " + item, false;
            out += static_cast<char>(v);
        }
        return true;
    }
    if (kind == "zero") {
        if (!parse_long(arg, 0, 16 << 20, v))
            return err = "bad size in " + item, false;
        out.append(static_cast<size_t>(v), '\0');
        return true;
    }
    if (kind == "text") {
        // text:SIZE:value - a NUL-padded field; "\s" stands for a blank.
        size_t c2 = arg.find(':');
        if (c2 == std::string::npos || !parse_long(arg.substr(0, c2), 1, 1 << 20, v))
            return err = "text needs SIZE:value in " + item, false;
        std::string text;
        std::string raw = arg.substr(c2 + 1);
        for (size_t i = 0; i < raw.size(); i++) {
            if (raw[i] == '\\' && i + 1 < raw.size() && raw[i + 1] == 's')
                text += ' ', i++;
            else
                text += raw[i];
        }
        text.resize(static_cast<size_t>(v), '\0');
        out += text;
        return true;
    }
    if (kind == "file") {
        std::string path = !arg.empty() && arg[0] == '/' ? arg : base_dir + "/" + arg;
        std::string data;
        if (!read_file(path, data))
            return err = "cannot read " + path, false;
        out += data;
        return true;
    }
    return err = "unknown payload item " + item, false;
}

} // namespace

bool parse_scenario(const std::string &text, const std::string &base_dir, Scenario &out, std::string &err)
{
    int lineno = 0;
    for (std::string line : split(text, '\n')) {
        lineno++;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::vector<std::string> words;
        for (const std::string &w : split(line, ' '))
            for (const std::string &t : split(w, '\t'))
                if (!t.empty() && t != "\r")
                    words.push_back(t.back() == '\r' ? t.substr(0, t.size() - 1) : t);
        if (words.empty())
            continue;
        std::string where = "line " + std::to_string(lineno) + ": ";
        long long req, rep;
        if (words.size() < 2 || !parse_long(words[0], INT32_MIN, INT32_MAX, req))
            return err = where + "expected REQUEST REPLY [PAYLOAD...] [delay=MS]", false;
        auto &list = out.replies[static_cast<int32_t>(req)];
        if (words[1] == "-")
            continue; // never answered
        if (!parse_long(words[1], INT32_MIN, INT32_MAX, rep))
            return err = where + "bad reply code " + words[1], false;
        SimReply r{static_cast<int32_t>(rep), "", 0};
        for (size_t i = 2; i < words.size(); i++) {
            long long d;
            if (words[i].rfind("delay=", 0) == 0) {
                if (!parse_long(words[i].substr(6), 0, 600000, d))
                    return err = where + "bad delay", false;
                r.delay_ms = static_cast<int>(d);
            } else if (!parse_item(words[i], base_dir, r.payload, err)) {
                err = where + err;
                return false;
            }
        }
        list.push_back(r);
    }
    return true;
}

bool load_scenario(const std::string &path, Scenario &out, std::string &err)
{
    std::string text;
    if (!read_file(path, text))
        return err = "cannot read " + path, false;
    size_t slash = path.rfind('/');
    return parse_scenario(text, slash == std::string::npos ? "." : path.substr(0, slash), out, err);
}
