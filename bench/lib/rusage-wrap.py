"""Run a command and write its wall time, CPU time and peak RSS as JSON (stand-in for /usr/bin/time).

  python3 -I -S rusage-wrap.py RESULT.json CMD [ARG...]

Exits with the command's status (128 + signal when it was killed).  Peak RSS comes from
getrusage(RUSAGE_CHILDREN); Linux carries the RSS high-water mark of the process that
forked the command into it, so values below this wrapper's own size (about 8 MB) read as
that size.  Only os/resource/time are imported to keep the wrapper small.
"""
import os
import resource
import sys
import time


def main():
    out, argv = sys.argv[1], sys.argv[2:]
    t0 = time.perf_counter()
    try:
        pid = os.posix_spawnp(argv[0], argv, os.environ)
        _, status = os.waitpid(pid, 0)
        rc = os.waitstatus_to_exitcode(status)
        if rc < 0:
            rc = 128 - rc
    except OSError as e:
        sys.stderr.write("rusage-wrap: %s: %s\n" % (argv[0], e))
        rc = 127
    wall = time.perf_counter() - t0
    ru = resource.getrusage(resource.RUSAGE_CHILDREN)
    with open(out, "w") as f:
        f.write('{"wall": %.6f, "user": %.6f, "sys": %.6f, "rss_kb": %d, "rc": %d}\n'
                % (wall, ru.ru_utime, ru.ru_stime, ru.ru_maxrss, rc))
    sys.exit(rc)


main()
