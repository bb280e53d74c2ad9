// Builders shared by the camera route tests. Daemon records are built here
// byte by byte at their documented offsets, independently of the program's
// own structs.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "harness.h"
#include "outside/qxdb.h"
#include "web_utils/oplog.h"

namespace cameratest {

using nvrtest::Bytes;

inline void put32(Bytes &b, size_t off, int32_t v)
{
    memcpy(&b[off], &v, 4);
}

inline void put_text(Bytes &b, size_t off, const std::string &s)
{
    memcpy(&b[off], s.data(), s.size());
}

// The camera change detail of the operation log (176 bytes).
inline Bytes change_detail(int32_t param, const std::string &ip, int32_t port, int32_t chn, const std::string &proto,
                           const std::string &transport, uint8_t sync)
{
    Bytes d(176, '\0');
    put32(d, 0, param);
    put_text(d, 4, ip);
    put32(d, 68, port);
    put32(d, 72, chn);
    put_text(d, 140, proto);
    put_text(d, 156, transport);
    d[172] = static_cast<char>(sync);
    return d;
}

inline std::vector<int32_t> codes_of(const std::vector<nvrtest::DaemonMsg> &msgs)
{
    std::vector<int32_t> codes;
    for (const nvrtest::DaemonMsg &m : msgs)
        codes.push_back(m.code);
    return codes;
}

// An operation-log request (4, sub, param, chn); with a detail, kind 111
// followed by the detail bytes, else no detail at all.
inline void expect_camera_log(const nvrtest::DaemonMsg &m, int64_t sub, int32_t param, int32_t chn,
                              const Bytes &detail = "")
{
    ASSERT_EQ(m.code, 3485);
    ASSERT_EQ(m.payload.size(), sizeof(OpLogRecord));
    OpLogRecord log;
    memcpy(&log, m.payload.data(), sizeof log);
    EXPECT_EQ(log.main_type, 4);
    EXPECT_EQ(log.sub_type, sub);
    EXPECT_EQ(log.param, param);
    EXPECT_EQ(log.chn, chn);
    EXPECT_EQ(log.remote, 1);
    Bytes stored(reinterpret_cast<const char *>(log.detail), sizeof log.detail);
    if (detail.empty()) {
        EXPECT_EQ(log.detail_size, 0);
        EXPECT_EQ(stored, Bytes(sizeof log.detail, '\0'));
        return;
    }
    EXPECT_EQ(log.detail_size, static_cast<int32_t>(4 + detail.size()));
    EXPECT_EQ(stored.substr(0, 4), nvrtest::le32(111));
    EXPECT_EQ(nvrtest::hex(stored.substr(4, detail.size())), nvrtest::hex(detail));
    EXPECT_EQ(stored.substr(4 + detail.size()), Bytes(sizeof log.detail - 4 - detail.size(), '\0'));
}

inline CameraRecord stored_camera(int32_t chn)
{
    CameraRecord c;
    EXPECT_EQ(read_camera(CONFIG_DB_PATH, &c, chn), 0);
    return c;
}

inline OsdRecord stored_osd(int32_t chn)
{
    OsdRecord o;
    EXPECT_EQ(read_osd(CONFIG_DB_PATH, &o, chn), 0);
    return o;
}

// Every camera, OSD and privacy-mask record, to show that a refused request
// changed nothing.
inline Bytes camera_snapshot()
{
    Bytes all;
    for (int32_t chn = 0; chn < QXDB_MAX_CHANNELS; chn++) {
        CameraRecord c;
        OsdRecord o;
        PrivacyMaskRecord m;
        read_camera(CONFIG_DB_PATH, &c, chn);
        read_osd(CONFIG_DB_PATH, &o, chn);
        read_privacy_mask(CONFIG_DB_PATH, &m, chn);
        all += nvrtest::bytes_of(c) + nvrtest::bytes_of(o) + nvrtest::bytes_of(m);
    }
    return all;
}

// A camera record with the fields a page shows.
inline CameraRecord camera(int32_t chn, const char *ip, int32_t port, int32_t model, int32_t transport,
                           int32_t sync)
{
    CameraRecord c;
    memset(&c, 0, sizeof c);
    c.id = chn;
    c.enable = 1;
    copy_text(c.ip_addr, ip);
    c.manage_port = port;
    c.model = model;
    c.transmit_protocol = transport;
    c.sync_time = sync;
    return c;
}

inline void store_osd_name(int32_t chn, const char *name)
{
    OsdRecord o;
    read_osd(CONFIG_DB_PATH, &o, chn);
    copy_text(o.name, name);
    write_osd(CONFIG_DB_PATH, &o);
}

const std::string kJsonError = nvrtest::json_answer("{status:\"CGI ERROR\"}");

} // namespace cameratest
