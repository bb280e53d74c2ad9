/* cgi_run: starts a CGI program many times, as the web server would (fresh
 * process, request in the environment, body on standard input), and prints
 * the median, 10th and 90th percentile wall time and the peak resident size.
 *
 *   cgi_run RUNS BODYFILE|- RUNLOG|- PROGRAM
 *
 * The request variables are taken from cgi_run's own environment. RUNLOG,
 * when given, gets one line appended per run: "wall_us end_time rss_kb
 * status", the end time in wall-clock seconds (to set against the daemon's
 * request log). Output: median_us p10_us p90_us max_rss_kb failed_runs
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(clockid_t c)
{
    struct timespec ts;
    clock_gettime(c, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int cmp(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return x < y ? -1 : x > y;
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: cgi_run RUNS BODYFILE|- RUNLOG|- PROGRAM\n");
        return 2;
    }
    int runs = atoi(argv[1]);
    const char *body = argv[2], *ends = argv[3], *prog = argv[4];
    if (runs < 1)
        return 2;
    double *t = calloc((size_t)runs, sizeof *t);
    FILE *endf = strcmp(ends, "-") ? fopen(ends, "a") : NULL;
    long max_rss = 0;
    int failed = 0;
    int devnull = open("/dev/null", O_RDWR);
    for (int i = 0; i < runs; i++) {
        int in = strcmp(body, "-") ? open(body, O_RDONLY) : dup(devnull);
        if (in < 0) {
            perror(body);
            return 1;
        }
        double start = now(CLOCK_MONOTONIC);
        pid_t pid = fork();
        if (pid == 0) {
            dup2(in, 0);
            dup2(devnull, 1);
            execl(prog, prog, (char *)NULL);
            _exit(127);
        }
        int status = 0;
        struct rusage ru;
        wait4(pid, &status, 0, &ru);
        t[i] = now(CLOCK_MONOTONIC) - start;
        if (endf)
            fprintf(endf, "%.0f %.6f %ld %d\n", t[i] * 1e6, now(CLOCK_REALTIME), ru.ru_maxrss, status);
        close(in);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            failed++;
        if (ru.ru_maxrss > max_rss)
            max_rss = ru.ru_maxrss;
    }
    if (endf)
        fclose(endf);
    qsort(t, (size_t)runs, sizeof *t, cmp);
    printf("%.0f %.0f %.0f %ld %d\n", t[runs / 2] * 1e6, t[runs / 10] * 1e6, t[runs * 9 / 10] * 1e6, max_rss, failed);
    return 0;
}
