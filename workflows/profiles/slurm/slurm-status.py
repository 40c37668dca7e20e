#!/usr/bin/env python3
"""State of one Slurm job for snakemake: prints success, failed or running.

The argument is what `sbatch --parsable` printed: the job id, maybe followed by ";cluster".
Asks the accounting database first (sacct), then the controller (scontrol), which knows
jobs for a while after they end even where accounting is off.
"""

import subprocess
import sys

RUNNING = {"PENDING", "CONFIGURING", "RUNNING", "COMPLETING", "SUSPENDED", "REQUEUED",
           "REQUEUE_FED", "REQUEUE_HOLD", "RESIZING", "SIGNALING", "STAGE_OUT", "RESV_DEL_HOLD"}


def query(cmd):
    try:
        done = subprocess.run(cmd, capture_output=True, text=True, timeout=60)
    except (OSError, subprocess.TimeoutExpired):
        return None, ""
    return done.returncode, done.stdout + done.stderr


def state(jobid):
    status, out = query(["sacct", "-n", "-P", "-X", "-j", jobid, "--format=State"])
    if status == 0:
        for line in out.splitlines():
            if line.strip():
                # "CANCELLED by 1234" names who cancelled it
                return line.split()[0].rstrip("+")
    status, out = query(["scontrol", "show", "job", jobid])
    if status == 0:
        for item in out.split():
            if item.startswith("JobState="):
                return item.split("=", 1)[1]
    elif "Invalid job id" in out:
        # Gone from the controller and not in accounting: it ended long ago. snakemake
        # then decides by the job's output files.
        return "COMPLETED"
    return None


def main():
    if len(sys.argv) != 2:
        print("usage: slurm-status.py JOBID", file=sys.stderr)
        return 2
    s = state(sys.argv[1].split(";")[0].strip())
    if s is None or s in RUNNING:
        print("running")
    elif s == "COMPLETED":
        print("success")
    else:
        print("failed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
