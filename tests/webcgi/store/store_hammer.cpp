// One of many processes that hit the store at once (run by store_tests):
// process N increments the sensitivity of motion record N, sets the named
// parameter "hammer_N", writes its channel's schedule and copies a PTZ list,
// ITER times. Exits 1 at the first call that fails.
#include <cstdio>
#include <cstdlib>

#include "outside/qxdb.h"

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    int n = atoi(argv[1]);
    int iterations = atoi(argv[2]);
    char key[32];
    snprintf(key, sizeof key, "hammer_%d", n);
    for (int i = 0; i < iterations; i++) {
        MotionRecord m;
        if (read_motion(CONFIG_DB_PATH, &m, n) != 0)
            return 1;
        m.sensitivity++;
        if (write_motion(CONFIG_DB_PATH, &m) != 0)
            return 1;
        if (set_param_int(CONFIG_DB_PATH, key, i + 1) != 0)
            return 1;
        static ScheduleRecord s;
        snprintf(s.day[0].seg[0].start_time, sizeof s.day[0].seg[0].start_time, "%02d:%02d", n, i);
        if (write_motion_email_schedule(CONFIG_DB_PATH, &s, n) != 0)
            return 1;
        PtzActionRecord ptz{};
        ptz.entry[0].acto_ptz_channel = n + 1;
        ptz.entry[0].acto_ptz_preset = i + 1;
        if (copy_ptz_params_all(CONFIG_DB_PATH, &ptz, 2, 1ull << n) != 0)
            return 1;
    }
    return 0;
}
