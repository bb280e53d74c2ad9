// Config store on SQLite: every test runs under a fresh temporary NVR_ROOT.
#include <gtest/gtest.h>

#include <ftw.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "outside/qxdb.h"
#include "outside/qxdb_store.h"

extern char **environ;

namespace {

int remove_entry(const char *path, const struct stat *, int, struct FTW *)
{
    return remove(path);
}

class Store : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/qxdb_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        setenv("NVR_ROOT", root_.c_str(), 1);
        qxdb::close_all();
    }
    void TearDown() override
    {
        qxdb::close_all();
        nftw(root_.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
        unsetenv("NVR_ROOT");
    }

    std::string file() const { return root_ + CONFIG_DB_PATH; }
    bool file_exists() const
    {
        struct stat st;
        return stat(file().c_str(), &st) == 0;
    }

    // A second, independent look at the file, as the sqlite3 shell sees it.
    sqlite3 *raw()
    {
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
        sqlite3_busy_timeout(db, 5000);
        return db;
    }
    int64_t query_int(const std::string &sql)
    {
        sqlite3 *db = raw();
        sqlite3_stmt *st = nullptr;
        int64_t v = -1;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
        return v;
    }
    void exec(const std::string &sql)
    {
        sqlite3 *db = raw();
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    int64_t rows(const char *table) { return query_int(std::string("SELECT count(*) FROM \"") + table + "\""); }

    std::string root_;
};

template <typename R>
bool all_zero_from(const R &r, size_t from)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(&r);
    for (size_t i = from; i < sizeof r; i++)
        if (p[i])
            return false;
    return true;
}

MotionRecord sample_motion(int chn)
{
    MotionRecord m;
    memset(&m, 0, sizeof m);
    m.chnid = chn;
    m.enable = 1;
    m.sensitivity = 4;
    m.tri_alarms = 3;
    copy_text(m.motion_table, "ffff0000");
    copy_text(m.tri_channels, "1010");
    copy_text(m.tri_chn_alarms[1], "01");
    m.audio_id = 7;
    m.http_notification_interval = 30;
    return m;
}

TEST_F(Store, FileAndTablesAreMadeUnderTheRootOnFirstUse)
{
    EXPECT_FALSE(file_exists());
    EXPECT_EQ(get_param_int(CONFIG_DB_PATH, "max_cameras", 32), 32);
    ASSERT_TRUE(file_exists());
    EXPECT_EQ(rows("motion"), 0);
    EXPECT_EQ(query_int("SELECT size FROM qxdb_kinds WHERE name='motion'"), 700);
    EXPECT_EQ(query_int("SELECT size FROM qxdb_kinds WHERE name='disk'"), 348);

    // A path already under the root names the same file.
    MotionRecord m = sample_motion(2);
    ASSERT_EQ(write_motion(file().c_str(), &m), 0);
    EXPECT_EQ(rows("motion"), 1);

    // The other store files are separate.
    ASSERT_EQ(set_param_int(OEM_DB_PATH, "x", 1), 0);
    EXPECT_EQ(get_param_int(CONFIG_DB_PATH, "x", -5), -5);
    struct stat st;
    EXPECT_EQ(stat((root_ + OEM_DB_PATH).c_str(), &st), 0);
}

TEST_F(Store, MissingRecordsReadAsZerosWithTheirKey)
{
    MotionRecord m;
    memset(&m, 0xAB, sizeof m);
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 5), 0);
    EXPECT_EQ(m.chnid, 5);
    EXPECT_TRUE(all_zero_from(m, 4));

    ScheduleRecord s;
    memset(&s, 0x5A, sizeof s);
    ASSERT_EQ(read_motion_audible_schedule(CONFIG_DB_PATH, &s, 63), 0);
    EXPECT_TRUE(all_zero_from(s, 0));

    // A record read, changed and written back lands on its own key (the key
    // member comes from the read, not from zeros).
    DiskRecord d;
    ASSERT_EQ(read_disk(CONFIG_DB_PATH, &d, 9), 0);
    d.property = 1;
    ASSERT_EQ(write_disk(CONFIG_DB_PATH, &d), 0);
    EXPECT_EQ(query_int("SELECT key FROM disk"), 9);
}

TEST_F(Store, RecordsRoundTripByteForByte)
{
    MotionRecord m = sample_motion(17);
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    MotionRecord back;
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &back, 17), 0);
    EXPECT_EQ(memcmp(&m, &back, sizeof m), 0);
    EXPECT_EQ(query_int("SELECT length(data) FROM motion WHERE key=17"), 700);

    ScheduleRecord s{};
    copy_text(s.day[7].seg[47].end_time, "24:00");
    s.day[3].seg[11].action_type = 2;
    s.day[0].valid = 1;
    ASSERT_EQ(write_motion_ptz_schedule(CONFIG_DB_PATH, &s, 0), 0);
    ScheduleRecord sb;
    ASSERT_EQ(read_motion_ptz_schedule(CONFIG_DB_PATH, &sb, 0), 0);
    EXPECT_EQ(memcmp(&s, &sb, sizeof s), 0);
    // Each schedule kind is its own table.
    ASSERT_EQ(read_motion_email_schedule(CONFIG_DB_PATH, &sb, 0), 0);
    EXPECT_TRUE(all_zero_from(sb, 0));
}

TEST_F(Store, ArrayReadsFillStoredRecordsInKeyOrderWithinTheRoom)
{
    for (int slot : {7, 1, 3}) {
        DiskRecord d{};
        d.slot = slot;
        d.enable = 1;
        copy_text(d.vendor, "WD");
        ASSERT_EQ(write_disk(CONFIG_DB_PATH, &d), 0);
    }
    DiskRecord disks[QXDB_MAX_DISKS];
    memset(disks, 0xFF, sizeof disks);
    int32_t count = -1;
    ASSERT_EQ(read_disks(CONFIG_DB_PATH, disks, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(disks[0].slot, 1);
    EXPECT_EQ(disks[1].slot, 3);
    EXPECT_EQ(disks[2].slot, 7);
    EXPECT_STREQ(disks[2].vendor, "WD");
    EXPECT_TRUE(all_zero_from(disks[3], 0));

    DiskRecord two[2];
    ASSERT_EQ(read_disks(CONFIG_DB_PATH, two, 2, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(two[1].slot, 3);

    // An empty store fills nothing.
    MotionRecord motions[QXDB_MAX_CHANNELS];
    ASSERT_EQ(read_motions(CONFIG_DB_PATH, motions, &count), 0);
    EXPECT_EQ(count, 0);
}

TEST_F(Store, KeysOutsideTheRangeAreRefusedWithoutTouchingTheStore)
{
    MotionRecord m = sample_motion(0);
    DiskRecord d{};
    UserRecord u{};
    ScheduleRecord s{};
    HttpNotificationParams h{};
    PtzActionRecord p{};
    WhiteLedParams w{};
    struct Case {
        const char *what;
        int32_t (*call)(MotionRecord &, DiskRecord &, UserRecord &, ScheduleRecord &, HttpNotificationParams &,
                        PtzActionRecord &, WhiteLedParams &);
    };
    const Case cases[] = {
        {"motion 64", [](auto &m, auto &, auto &, auto &, auto &, auto &, auto &) { m.chnid = 64; return write_motion(CONFIG_DB_PATH, &m); }},
        {"motion -1", [](auto &m, auto &, auto &, auto &, auto &, auto &, auto &) { m.chnid = -1; return write_motion(CONFIG_DB_PATH, &m); }},
        {"disk 37", [](auto &, auto &d, auto &, auto &, auto &, auto &, auto &) { d.slot = 37; return write_disk(CONFIG_DB_PATH, &d); }},
        {"user 100", [](auto &, auto &, auto &u, auto &, auto &, auto &, auto &) { u.id = 100; return write_user(CONFIG_DB_PATH, &u); }},
        {"schedule 64", [](auto &, auto &, auto &, auto &s, auto &, auto &, auto &) { return write_motion_audible_schedule(CONFIG_DB_PATH, &s, 64); }},
        {"http 64", [](auto &, auto &, auto &, auto &, auto &h, auto &, auto &) { h.channel = 64; return write_http_notification_params(CONFIG_DB_PATH, "motion_http_notification_params", &h); }},
        {"white -3", [](auto &, auto &, auto &, auto &, auto &, auto &, auto &w) { return write_whiteled_params_all(CONFIG_DB_PATH, "motion_white_led_params", -3, &w); }},
        {"ptz kind 64", [](auto &, auto &, auto &, auto &, auto &, auto &p, auto &) { return write_ptz_params_all(CONFIG_DB_PATH, &p, 64, 0); }},
        // event 64 of kind 1 must not land on event 0 of kind 2
        {"ptz event 64", [](auto &, auto &, auto &, auto &, auto &, auto &p, auto &) { return write_ptz_params_all(CONFIG_DB_PATH, &p, 1, 64); }},
        {"bad table", [](auto &, auto &, auto &, auto &, auto &h, auto &, auto &) { h.channel = 1; return write_http_notification_params(CONFIG_DB_PATH, "x\"; DROP TABLE motion; --", &h); }},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.call(m, d, u, s, h, p, w), -1) << c.what;
    EXPECT_FALSE(file_exists()) << "a refused call must not even create the store";

    // Reads are refused too, and still hand back a cleared record.
    memset(&m, 0x11, sizeof m);
    EXPECT_EQ(read_motion(CONFIG_DB_PATH, &m, 64), -1);
    EXPECT_TRUE(all_zero_from(m, 0));
    int32_t count = 99;
    EXPECT_EQ(read_ptz_params(CONFIG_DB_PATH, &p, 1, 64, &count), -1);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(file_exists());
}

TEST_F(Store, NamedParametersConvertBetweenIntegerAndText)
{
    char buf[16];
    struct Case {
        const char *key;
        const char *text;    // written with set_param_value, or nullptr
        int32_t number;      // written with set_param_int when text is nullptr
        int32_t as_int;      // read with default -7
        const char *as_text; // read with default "dflt"
    } cases[] = {
        {"int", nullptr, 42, 42, "42"},
        {"negative", nullptr, -1, -1, "-1"},
        {"numeric_text", "16", 0, 16, "16"},
        {"padded_text", " 8", 0, 8, " 8"},
        {"word", "V1.1", 0, -7, "V1.1"},
        {"empty", "", 0, -7, ""},
        {"too_big", "99999999999", 0, -7, "99999999999"},
        {"long_text", "0123456789abcdefXYZ", 0, 123456789, "0123456789abcde"},
    };
    for (const auto &c : cases) {
        if (c.text)
            ASSERT_EQ(set_param_value(CONFIG_DB_PATH, c.key, c.text), 0) << c.key;
        else
            ASSERT_EQ(set_param_int(CONFIG_DB_PATH, c.key, c.number), 0) << c.key;
    }
    for (const auto &c : cases) {
        EXPECT_EQ(get_param_int(CONFIG_DB_PATH, c.key, -7), c.as_int) << c.key;
        EXPECT_EQ(get_param_value(CONFIG_DB_PATH, c.key, buf, sizeof buf, "dflt"), 0) << c.key;
        EXPECT_STREQ(buf, c.as_text) << c.key;
    }

    // Unset keys give the caller's default (cut like a value).
    EXPECT_EQ(get_param_int(CONFIG_DB_PATH, "max_cameras", 32), 32);
    get_param_value(CONFIG_DB_PATH, "hardware_version", buf, 5, "V1.1-long");
    EXPECT_STREQ(buf, "V1.1");
    get_param_value(CONFIG_DB_PATH, "model", buf, sizeof buf, nullptr);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(get_param_value(CONFIG_DB_PATH, "model", nullptr, 10, "x"), -1);

    // Overwrite changes the type as well.
    ASSERT_EQ(set_param_value(CONFIG_DB_PATH, "int", "abc"), 0);
    EXPECT_EQ(get_param_int(CONFIG_DB_PATH, "int", 5), 5);
}

TEST_F(Store, CheckAndAddParameterKeys)
{
    EXPECT_NE(check_param_key(CONFIG_DB_PATH, "p2p_id"), 0);
    EXPECT_EQ(add_param_value(CONFIG_DB_PATH, "p2p_id", "first"), 0);
    EXPECT_EQ(check_param_key(CONFIG_DB_PATH, "p2p_id"), 0);
    // Adding an existing key keeps what is there.
    EXPECT_EQ(add_param_value(CONFIG_DB_PATH, "p2p_id", "second"), -1);
    char buf[16];
    get_param_value(CONFIG_DB_PATH, "p2p_id", buf, sizeof buf, "");
    EXPECT_STREQ(buf, "first");
    // An integer key is present too.
    set_param_int(CONFIG_DB_PATH, "n", 0);
    EXPECT_EQ(check_param_key(CONFIG_DB_PATH, "n"), 0);
}

TEST_F(Store, CopiesGoToTheMaskedChannelsUnderTheirOwnKeys)
{
    MotionRecord m = sample_motion(3);
    const uint64_t mask = (1ull << 0) | (1ull << 5) | (1ull << 63);
    ASSERT_EQ(copy_motions(CONFIG_DB_PATH, &m, mask), 0);
    EXPECT_EQ(rows("motion"), 3);
    for (int chn : {0, 5, 63}) {
        MotionRecord back;
        ASSERT_EQ(read_motion(CONFIG_DB_PATH, &back, chn), 0);
        EXPECT_EQ(back.chnid, chn);
        back.chnid = 3;
        EXPECT_EQ(memcmp(&back, &m, sizeof m), 0) << chn;
    }
    EXPECT_EQ(query_int("SELECT count(*) FROM motion WHERE key=3"), 0);

    ASSERT_EQ(copy_motions(CONFIG_DB_PATH, &m, 0), 0);
    EXPECT_EQ(rows("motion"), 3);

    ScheduleRecord s{};
    copy_text(s.day[1].seg[2].start_time, "08:00");
    ASSERT_EQ(copy_motion_audible_schedules(CONFIG_DB_PATH, &s, 1ull << 40), 0);
    ScheduleRecord back;
    read_motion_audible_schedule(CONFIG_DB_PATH, &back, 40);
    EXPECT_STREQ(back.day[1].seg[2].start_time, "08:00");

    // Entry lists take the target channel as their owner / event number.
    WhiteLedParams w{};
    w.entry[0] = {3, 9, 1, 10};
    w.entry[1] = {3, 10, 2, 20};
    ASSERT_EQ(copy_whiteled_params(CONFIG_DB_PATH, "motion_white_led_params", &w, 1ull << 6), 0);
    WhiteLedParams wb;
    int32_t count = 0;
    ASSERT_EQ(read_whiteled_params(CONFIG_DB_PATH, "motion_white_led_params", 6, &wb, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(wb.entry[1].owner, 6);
    EXPECT_EQ(wb.entry[1].chnid, 10);
    EXPECT_EQ(wb.entry[1].time, 20);

    PtzActionRecord p{};
    p.entry[0] = {3, 2, 0, 1, 5, 0, 0};
    ASSERT_EQ(copy_ptz_params_all(CONFIG_DB_PATH, &p, 1, (1ull << 4) | (1ull << 7)), 0);
    PtzActionRecord pb;
    ASSERT_EQ(read_ptz_params(CONFIG_DB_PATH, &pb, 1, 7, &count), 0);
    EXPECT_EQ(count, PTZ_ACTION_ENTRIES);
    EXPECT_EQ(pb.entry[0].chn_id, 7);
    EXPECT_EQ(pb.entry[0].acto_ptz_preset, 5);
    EXPECT_EQ(pb.entry[1].chn_id, 0);
    ASSERT_EQ(read_ptz_params(CONFIG_DB_PATH, &pb, 2, 7, &count), 0);
    EXPECT_EQ(pb.entry[0].acto_ptz_channel, 0) << "another event kind";
}

TEST_F(Store, ACopyThatFailsPartWayLeavesNoRecordChanged)
{
    MotionRecord m = sample_motion(1);
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    exec("CREATE TRIGGER refuse5 BEFORE INSERT ON motion WHEN NEW.key = 5 BEGIN SELECT RAISE(ABORT, 'no'); END");
    MotionRecord changed = sample_motion(9);
    changed.sensitivity = 99;
    EXPECT_EQ(copy_motions(CONFIG_DB_PATH, &changed, (1ull << 1) | (1ull << 2) | (1ull << 5)), -1);
    MotionRecord back;
    read_motion(CONFIG_DB_PATH, &back, 1);
    EXPECT_EQ(back.sensitivity, 4);
    EXPECT_EQ(rows("motion"), 1);
}

TEST_F(Store, ColumnCopySetsOneFieldInTheMaskedRows)
{
    MotionRecord m = sample_motion(2);
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    ASSERT_EQ(copy_table_column_int(CONFIG_DB_PATH, "motion", "tri_alarms", 12, (1ull << 2) | (1ull << 4), "id"), 0);
    MotionRecord back;
    read_motion(CONFIG_DB_PATH, &back, 2);
    EXPECT_EQ(back.tri_alarms, 12);
    back.tri_alarms = m.tri_alarms;
    EXPECT_EQ(memcmp(&back, &m, sizeof m), 0) << "other fields kept";
    read_motion(CONFIG_DB_PATH, &back, 4);
    EXPECT_EQ(back.tri_alarms, 12);
    EXPECT_EQ(back.chnid, 4);

    struct {
        const char *table, *column, *key;
    } refused[] = {
        {"motion", "tri_alarms", "chnid"},     // not the table's key
        {"motion", "no_such_column", "id"},
        {"motion", "motion_table", "id"},      // a text, not an integer
        {"no_such_table", "enable", "id"},
        {"motion; --", "enable", "id"},
    };
    for (const auto &r : refused)
        EXPECT_EQ(copy_table_column_int(CONFIG_DB_PATH, r.table, r.column, 1, 1ull << 2, r.key), -1)
            << r.table << "." << r.column;
    read_motion(CONFIG_DB_PATH, &back, 2);
    EXPECT_EQ(back.enable, 1);
}

TEST_F(Store, StoredRecordsOfAnotherSizeReadAsFarAsTheyGo)
{
    get_param_int(CONFIG_DB_PATH, "make", 0);
    // An older, shorter motion record and a newer, longer one.
    exec("INSERT INTO motion (key, data) VALUES (1, x'0100000001000000070000')");
    exec("INSERT INTO motion (key, data) VALUES (2, zeroblob(800))");
    exec("UPDATE motion SET data = x'02000000' || x'01000000' || randomblob(792) WHERE key = 2");
    MotionRecord m;
    memset(&m, 0xEE, sizeof m);
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 1), 0);
    EXPECT_EQ(m.chnid, 1);
    EXPECT_EQ(m.enable, 1);
    EXPECT_EQ(m.sensitivity, 7);
    EXPECT_TRUE(all_zero_from(m, 11));
    ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, 2), 0);
    EXPECT_EQ(m.enable, 1);

    // Writing it back stores the current size.
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    EXPECT_EQ(query_int("SELECT length(data) FROM motion WHERE key=2"), 700);
}

TEST_F(Store, TablesNamedByTheCallerAreMadeOnFirstWrite)
{
    HttpNotificationParams h;
    memset(&h, 0x33, sizeof h);
    ASSERT_EQ(read_http_notification_params(CONFIG_DB_PATH, "videoloss_http_notification_params", &h, 4), 0);
    EXPECT_EQ(h.channel, 4);
    EXPECT_TRUE(all_zero_from(h, 4));

    copy_text(h.url, "http://a/b%20c");
    ASSERT_EQ(write_http_notification_params(CONFIG_DB_PATH, "videoloss_http_notification_params", &h), 0);
    EXPECT_EQ(rows("videoloss_http_notification_params"), 1);
    EXPECT_EQ(query_int("SELECT count(*) FROM qxdb_kinds WHERE name='videoloss_http_notification_params' "
                        "AND record='HttpNotificationParams'"),
              1);
    HttpNotificationParams other;
    read_http_notification_params(CONFIG_DB_PATH, "motion_http_notification_params", &other, 4);
    EXPECT_STREQ(other.url, "");
    read_http_notification_params(CONFIG_DB_PATH, "videoloss_http_notification_params", &other, 4);
    EXPECT_STREQ(other.url, "http://a/b%20c");

    EXPECT_EQ(read_http_notification_params(CONFIG_DB_PATH, "", &other, 4), -1);
    EXPECT_EQ(read_http_notification_params(CONFIG_DB_PATH, "sqlite_master", &other, 4), -1);
}

TEST_F(Store, EntryListsReportTheEntriesInUse)
{
    WhiteLedParams w{};
    int32_t count = -1;
    ASSERT_EQ(read_whiteled_params(CONFIG_DB_PATH, "motion_white_led_params", 1, &w, &count), 0);
    EXPECT_EQ(count, 0);
    w.entry[0] = {1, 2, 1, 5};
    w.entry[2] = {1, 4, 0, 0};
    ASSERT_EQ(write_whiteled_params_all(CONFIG_DB_PATH, "motion_white_led_params", 1, &w), 0);
    ASSERT_EQ(read_whiteled_params(CONFIG_DB_PATH, "motion_white_led_params", 1, &w, &count), 0);
    EXPECT_EQ(count, 3);

    // People counting keeps 8 PTZ entries of a full list.
    PtzActionRecord p{};
    for (int i = 0; i < 10; i++)
        p.entry[i] = {2, i + 1, 0, 1, i, 0, 0};
    ASSERT_EQ(write_peoplecnt_ptz_params_ex(CONFIG_DB_PATH, &p, 2), 0);
    PeoplecntPtzRecord pc;
    ASSERT_EQ(read_peoplecnt_ptz_params(CONFIG_DB_PATH, &pc, 2, &count), 0);
    EXPECT_EQ(count, PTZ_PEOPLECNT_ENTRIES);
    EXPECT_EQ(pc.entry[7].acto_ptz_channel, 8);

    // Audio files sit at their id, whatever is stored below them.
    AlarmAudioFile f{};
    f.id = 6;
    f.enable = 1;
    copy_text(f.name, "ding");
    ASSERT_EQ(write_alarm_audio_file(CONFIG_DB_PATH, &f), 0);
    AlarmAudioFile files[QXDB_MAX_AUDIO_FILES];
    ASSERT_EQ(read_alarm_audio_file(CONFIG_DB_PATH, files, &count), 0);
    EXPECT_EQ(count, QXDB_MAX_AUDIO_FILES);
    EXPECT_EQ(files[6].enable, 1);
    EXPECT_STREQ(files[6].name, "ding");
    EXPECT_EQ(files[0].enable, 0);
}

// Many processes at once, each changing its own records in read-modify-write
// rounds: nothing may be lost and no call may fail with the file locked.
TEST_F(Store, ConcurrentProcessesLoseNoWrite)
{
    // Enough contention to lose writes without a busy timeout, small enough
    // to stay far from that timeout on a loaded or emulated machine.
    const int kProcs = 16, kRounds = 10;
    get_param_int(CONFIG_DB_PATH, "make", 0);    // schema first, as on a running recorder
    std::vector<pid_t> pids;
    std::string rounds = std::to_string(kRounds);
    for (int i = 0; i < kProcs; i++) {
        std::string n = std::to_string(i);
        char *argv[] = {const_cast<char *>(STORE_HAMMER), const_cast<char *>(n.c_str()),
                        const_cast<char *>(rounds.c_str()), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, STORE_HAMMER, nullptr, nullptr, argv, environ), 0);
        pids.push_back(pid);
    }
    int failed = 0;
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            failed++;
    }
    EXPECT_EQ(failed, 0);
    for (int i = 0; i < kProcs; i++) {
        MotionRecord m;
        ASSERT_EQ(read_motion(CONFIG_DB_PATH, &m, i), 0);
        EXPECT_EQ(m.sensitivity, kRounds) << "channel " << i;
        EXPECT_EQ(get_param_int(CONFIG_DB_PATH, ("hammer_" + std::to_string(i)).c_str(), 0), kRounds);
        ScheduleRecord s;
        read_motion_email_schedule(CONFIG_DB_PATH, &s, i);
        char want[16];
        snprintf(want, sizeof want, "%02d:%02d", i, kRounds - 1);
        EXPECT_STREQ(s.day[0].seg[0].start_time, want);
        PtzActionRecord p;
        int32_t count = 0;
        read_ptz_params(CONFIG_DB_PATH, &p, 2, i, &count);
        EXPECT_EQ(p.entry[0].chn_id, i);
        EXPECT_EQ(p.entry[0].acto_ptz_preset, kRounds);
    }
}

} // namespace

namespace {

TEST_F(Store, BatchCommitsAllOrNothing)
{
    MotionRecord m;
    memset(&m, 0, sizeof m);
    m.chnid = 1;
    m.sensitivity = 3;
    {
        qxdb::Batch batch(CONFIG_DB_PATH);
        ASSERT_TRUE(batch.ok());
        ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
        ASSERT_EQ(copy_motions(CONFIG_DB_PATH, &m, 0xCull), 0);
        set_param_int(CONFIG_DB_PATH, "in_batch", 1);
        // Not committed: none of it stays.
    }
    MotionRecord r;
    for (int chn : {1, 2, 3}) {
        read_motion(CONFIG_DB_PATH, &r, chn);
        EXPECT_EQ(r.sensitivity, 0) << chn;
    }
    EXPECT_EQ(get_param_int(CONFIG_DB_PATH, "in_batch", 0), 0);

    {
        qxdb::Batch outer(CONFIG_DB_PATH);
        write_motion(CONFIG_DB_PATH, &m);
        {
            qxdb::Batch inner(CONFIG_DB_PATH); // joins the outer one
            EXPECT_TRUE(inner.commit());
            copy_motions(CONFIG_DB_PATH, &m, 0xCull);
        }
        // A refused call inside the batch changes nothing and spoils nothing.
        EXPECT_EQ(read_motion(CONFIG_DB_PATH, &r, 99), -1);
        EXPECT_TRUE(outer.commit());
    }
    for (int chn : {1, 2, 3}) {
        read_motion(CONFIG_DB_PATH, &r, chn);
        EXPECT_EQ(r.sensitivity, 3) << chn;
        EXPECT_EQ(r.chnid, chn);
    }
}

} // namespace

namespace {

// SQLite's file change counter (header bytes 24-27) moves with every
// transaction that changed the file.
uint32_t change_counter()
{
    char file[512];
    qxdb::store_file(CONFIG_DB_PATH, file, sizeof file);
    FILE *f = fopen(file, "rb");
    unsigned char h[28] = {};
    if (f) {
        if (fread(h, 1, sizeof h, f) != sizeof h)
            h[24] = h[25] = h[26] = h[27] = 0;
        fclose(f);
    }
    return static_cast<uint32_t>(h[24]) << 24 | h[25] << 16 | h[26] << 8 | h[27];
}

TEST_F(Store, UnchangedRecordsAreNotWrittenAgain)
{
    MotionRecord m;
    memset(&m, 0, sizeof m);
    m.chnid = 5;
    m.sensitivity = 2;
    ASSERT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    ASSERT_EQ(copy_motions(CONFIG_DB_PATH, &m, 0xF0ull), 0);
    uint32_t before = change_counter();
    EXPECT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    EXPECT_EQ(copy_motions(CONFIG_DB_PATH, &m, 0xF0ull), 0);
    EXPECT_EQ(change_counter(), before);

    m.sensitivity = 3;
    EXPECT_EQ(write_motion(CONFIG_DB_PATH, &m), 0);
    EXPECT_NE(change_counter(), before);
    MotionRecord r;
    read_motion(CONFIG_DB_PATH, &r, 5);
    EXPECT_EQ(r.sensitivity, 3);
}

} // namespace
