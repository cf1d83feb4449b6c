#!/usr/bin/env python3
"""Gathers the JSON lines of many `quelvor-cli convert --json` runs into one summary.

usage: quelvor-gather-jobs [--expect LIST] [FILE ...]   (installed from scripts/gather_jobs.py)

Reads the JSON lines of the runs from the FILEs (or stdin): one object per job, as each run
prints them, in any order and from any number of runs (GNU parallel tasks, Slurm array tasks).
A job is known by its input path. With --expect, LIST names every input that was handed out,
one path per line; inputs that never reported are "missing". An input that reported more than
once is "repeated" (a task that ran twice).

Prints one JSON object on stdout: the number of jobs reported, the count of each status, the
converted sample pairs and output megabytes of the finished jobs, the jobs that did not end
"Status: Done" (input and status), and the missing and repeated inputs. Exits 0 when every job
ended "Status: Done" and none is missing or repeated, 1 otherwise, 2 for unreadable input.
"""
import argparse
import collections
import json
import os
import sys


PROGRAM = os.path.basename(sys.argv[0])  # quelvor-gather-jobs where installed


def read_jobs(paths):
    """The job objects of every line of the files (stdin without files), with where each came from."""
    streams = [(path, open(path, encoding="utf-8")) for path in paths] or [("<stdin>", sys.stdin)]
    jobs = []
    for name, stream in streams:
        with stream:
            for number, line in enumerate(stream, 1):
                if not line.strip():
                    continue
                try:
                    job = json.loads(line)
                except json.JSONDecodeError as error:
                    raise ValueError(f"{name}:{number}: not a JSON line ({error.msg})") from error
                if not isinstance(job, dict) or "input" not in job or "status" not in job:
                    raise ValueError(f"{name}:{number}: not a job of quelvor-cli convert --json")
                jobs.append(job)
    return jobs


def summarise(jobs, expected):
    """The summary object of the jobs against the expected inputs (None: no list given)."""
    reports = collections.Counter(os.path.normpath(job["input"]) for job in jobs)
    done = [job for job in jobs if job["status"] == "Status: Done"]
    summary = {
        "jobs": len(jobs),
        "statuses": dict(sorted(collections.Counter(job["status"] for job in jobs).items())),
        "convertedSamples": sum(int(job["convertedSamples"]) for job in done),
        "outputMB": round(sum(float(job["fileSize"].split()[0]) for job in done), 6),
        "failed": [{"input": job["input"], "status": job["status"]} for job in jobs
                   if job["status"] != "Status: Done"],
        "missing": sorted(path for path in (expected or []) if path not in reports),
        "repeated": sorted(path for path, count in reports.items() if count > 1),
    }
    if expected is not None:
        summary["unexpected"] = sorted(path for path in reports if path not in expected)
    return summary


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--expect", help="file with every input handed out, one path per line")
    parser.add_argument("files", nargs="*", help="files of JSON lines; stdin when none")
    arguments = parser.parse_args()
    expected = None
    try:
        if arguments.expect:
            with open(arguments.expect, encoding="utf-8") as listing:
                expected = {os.path.normpath(line.rstrip("\n")) for line in listing if line.strip()}
        jobs = read_jobs(arguments.files)
    except OSError as error:
        print(f"{PROGRAM}: cannot read {error.filename}: {error.strerror}", file=sys.stderr)
        return 2
    except ValueError as error:
        print(f"{PROGRAM}: {error}", file=sys.stderr)
        return 2
    summary = summarise(jobs, expected)
    print(json.dumps(summary, indent=2))
    complete = not summary["failed"] and not summary["missing"] and not summary["repeated"] \
        and not summary.get("unexpected")
    return 0 if complete else 1


if __name__ == "__main__":
    sys.exit(main())
