# SPDX-License-Identifier: GPL-3.0-or-later
"""A one-node Slurm cluster on localhost in a scratch folder: munged, slurmctld and
slurmd started with a configuration written here, stopped by their process ids."""

import os
import shutil
import socket
import subprocess
import time

DAEMONS = ("munged", "slurmctld", "slurmd", "sbatch", "sinfo")


def missing():
    """The programs this cluster needs that are not installed."""
    return [p for p in DAEMONS if shutil.which(p) is None]


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Cluster:
    def __init__(self, folder):
        self.folder, self.procs = folder, []
        for sub in ("state", "spool"):
            os.makedirs(os.path.join(folder, sub))
        key, self.socket = os.path.join(folder, "munge.key"), os.path.join(folder, "munge.sock")
        with open(key, "wb") as f:
            f.write(os.urandom(1024))
        os.chmod(key, 0o400)
        self.conf = os.path.join(folder, "slurm.conf")
        host = socket.gethostname().split(".")[0]
        with open(self.conf, "w", encoding="utf-8") as f:
            f.write(f"""ClusterName=hvtest
SlurmctldHost={host}(127.0.0.1)
SlurmctldPort={_free_port()}
SlurmdPort={_free_port()}
AuthType=auth/munge
AuthInfo=socket={self.socket}
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation={folder}/state
SlurmdSpoolDir={folder}/spool
SlurmctldPidFile={folder}/slurmctld.pid
SlurmdPidFile={folder}/slurmd.pid
SlurmctldLogFile={folder}/slurmctld.log
SlurmdLogFile={folder}/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
NodeName=hvnode NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=hv Nodes=hvnode Default=YES MaxTime=60 State=UP
""")
        self.env = dict(os.environ, SLURM_CONF=self.conf)
        self._start(["munged", "-F", "-f", "--key-file", key, "--socket", self.socket,
                     "--pid-file", f"{folder}/munged.pid", "--log-file", f"{folder}/munged.log",
                     "--seed-file", f"{folder}/munged.seed"])
        self._wait_for(lambda: os.path.exists(self.socket), "munged's socket")
        self._start(["slurmctld", "-D", "-i", "-f", self.conf])
        self._start(["slurmd", "-D", "-N", "hvnode", "-f", self.conf])
        self._wait_for(self._idle, "the node to be idle")

    def _start(self, args):
        with open(os.path.join(self.folder, args[0] + ".out"), "w", encoding="utf-8") as out:
            self.procs.append(subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL,
                                               stdout=out, stderr=subprocess.STDOUT))

    def _idle(self):
        done = subprocess.run(["sinfo", "-h", "-o", "%T"], env=self.env, capture_output=True,
                              text=True, timeout=10, check=False)
        return done.stdout.strip() == "idle"

    def _wait_for(self, ready, what, seconds=60):
        deadline = time.monotonic() + seconds
        while not ready():
            ended = [p.args[0] for p in self.procs if p.poll() is not None]
            if ended or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError(f"waiting for {what}: {ended or 'timed out'} (logs in "
                                   f"{self.folder})")
            time.sleep(0.5)

    def stop(self):
        for p in reversed(self.procs):
            p.terminate()
            try:
                p.wait(timeout=15)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait(timeout=15)
        self.procs = []
