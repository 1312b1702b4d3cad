"""Two Syncthing instances on 127.0.0.1 that keep two folders in step, for end-to-end tests.

Everything that could reach past the loopback interface is off: global and local discovery,
relays, NAT traversal and STUN, usage and crash reporting, upgrade checks. Both configurations
are written before start: each device knows the other, and only the first dials the second (when
both dial, the two loopback connections can stall in the TLS handshake).
"""

import json
import os
import shutil
import signal
import socket
import subprocess
import time
import urllib.error
import urllib.request
from xml.sax.saxutils import escape

from harness import wait_until

FOLDER_ID = "diary"
API_KEY = "orlune-e2e-key"
STARTUP_TIMEOUT = 30.0


class SyncthingUnavailable(Exception):
    """Syncthing is not installed or cannot start here."""


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]



def tree(folder):
    """Relative path -> bytes of each file under folder, less Syncthing's marker and temporaries."""
    files = {}
    for top, dirs, names in os.walk(folder):
        dirs[:] = [d for d in dirs if d != ".stfolder"]
        for name in names:
            if name.startswith(".syncthing.") and name.endswith(".tmp"):
                continue
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = f.read()
    return files


def _config(own_id, peer_id, peer_address, folder, sync_port, gui_port):
    devices = "".join(
        f'<device id="{d}" introducedBy=""><encryptionPassword></encryptionPassword></device>'
        for d in (own_id, peer_id))
    return f"""<configuration version="36">
    <folder id="{FOLDER_ID}" label="diary" path="{escape(folder)}" type="sendreceive"
            rescanIntervalS="3600" fsWatcherEnabled="true" fsWatcherDelayS="1"
            ignorePerms="false" autoNormalize="true">
        <filesystemType>basic</filesystemType>
        {devices}
        <minDiskFree unit="%">0</minDiskFree>
        <pullerPauseS>2</pullerPauseS>
        <maxConflicts>-1</maxConflicts>
        <markerName>.stfolder</markerName>
        <paused>false</paused>
    </folder>
    <device id="{own_id}" name="self" compression="metadata" introducer="false">
        <address>dynamic</address>
    </device>
    <device id="{peer_id}" name="peer" compression="metadata" introducer="false">
        <address>{peer_address}</address>
        <autoAcceptFolders>false</autoAcceptFolders>
    </device>
    <gui enabled="true" tls="false">
        <address>127.0.0.1:{gui_port}</address>
        <apikey>{API_KEY}</apikey>
    </gui>
    <options>
        <listenAddress>tcp://127.0.0.1:{sync_port}</listenAddress>
        <globalAnnounceServer></globalAnnounceServer>
        <globalAnnounceEnabled>false</globalAnnounceEnabled>
        <localAnnounceEnabled>false</localAnnounceEnabled>
        <announceLANAddresses>false</announceLANAddresses>
        <relaysEnabled>false</relaysEnabled>
        <natEnabled>false</natEnabled>
        <stunServer></stunServer>
        <stunKeepaliveStartS>0</stunKeepaliveStartS>
        <stunKeepaliveMinS>0</stunKeepaliveMinS>
        <startBrowser>false</startBrowser>
        <urAccepted>-1</urAccepted>
        <urSeen>3</urSeen>
        <urURL></urURL>
        <urInitialDelayS>86400</urInitialDelayS>
        <crashReportingEnabled>false</crashReportingEnabled>
        <crashReportingURL></crashReportingURL>
        <autoUpgradeIntervalH>0</autoUpgradeIntervalH>
        <releasesURL></releasesURL>
        <reconnectionIntervalS>1</reconnectionIntervalS>
        <restartOnWakeup>false</restartOnWakeup>
        <setLowPriority>false</setLowPriority>
        <minHomeDiskFree unit="%">0</minHomeDiskFree>
    </options>
</configuration>
"""


def _spawn(args, env, **kwargs):
    return subprocess.Popen(args, env={**os.environ, **env}, stdin=subprocess.DEVNULL, **kwargs)


class Instance:
    def __init__(self, name, home, folder):
        self.name = name
        self.home = home
        self.folder = folder
        self.sync_port = free_port()
        self.gui_port = free_port()
        self.device_id = None
        self.process = None
        self.log = None

    def env(self):
        # One process (no monitor that restarts it), no hashing benchmark at start.
        return dict(STMONITORED="yes", STHASHING="minio", STNOUPGRADE="1",
                    STNODEFAULTFOLDER="1", HOME=self.home)

    def run(self, args):
        return subprocess.run(["syncthing"] + args + [f"--home={self.home}"],
                              env={**os.environ, **self.env()}, check=True, timeout=60,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True).stdout

    def generate(self):
        self.run(["generate", "--no-default-folder", "--skip-port-probing"])
        self.device_id = self.run(["serve", "--device-id"]).strip()

    def start(self, spawn):
        self.log = open(os.path.join(self.home, "syncthing.log"), "wb")
        self.process = spawn(["syncthing", "serve", f"--home={self.home}", "--no-browser",
                              "--no-restart", "--no-upgrade"], env=self.env(),
                             stdout=self.log, stderr=subprocess.STDOUT)

    def request(self, method, path, body=None, timeout=10):
        data = None if body is None else json.dumps(body).encode()
        req = urllib.request.Request(f"http://127.0.0.1:{self.gui_port}{path}", data=data,
                                     method=method, headers={"X-API-Key": API_KEY,
                                                             "Content-Type": "application/json"})
        with urllib.request.urlopen(req, timeout=timeout) as reply:
            text = reply.read()
        return json.loads(text) if text.strip() else None

    def alive(self):
        try:
            return self.request("GET", "/rest/system/ping", timeout=2) == {"ping": "pong"}
        except (OSError, urllib.error.URLError, ValueError):
            if self.process.poll() is not None:
                # It could make its keys, so it can run: a failure here is a fault, not a skip.
                raise RuntimeError(f"syncthing {self.name} ended with status "
                                   f"{self.process.returncode}:\n{self.log_tail()}")
            return False

    def connected(self, peer):
        state = self.request("GET", "/rest/system/connections")["connections"].get(peer.device_id)
        return bool(state and state.get("connected"))

    def folder_state(self):
        return self.request("GET", f"/rest/db/status?folder={FOLDER_ID}")

    def log_tail(self, lines=30):
        path = os.path.join(self.home, "syncthing.log")
        try:
            with open(path, "rb") as f:
                return b"\n".join(f.read().splitlines()[-lines:]).decode("utf-8", "replace")
        except OSError:
            return ""

    def stop(self, timeout=10.0):
        if self.process is None:
            return
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout)
        self.log.close()
        self.process = None


class SyncPair:
    """Starts two instances syncing folder_a and folder_b; stop() ends both by their PIDs.

    spawn(args, env=..., stdout=..., stderr=...) starts a process and returns its Popen, with
    env added to the caller's environment; a test session passes its own, so that its watchdog
    stops the instances too.
    """

    def __init__(self, workdir, folder_a, folder_b, spawn=None):
        if shutil.which("syncthing") is None:
            raise SyncthingUnavailable("syncthing is not installed (Debian package syncthing)")
        self.spawn = spawn or _spawn
        self.a = Instance("a", os.path.join(workdir, "syncthing-a"), folder_a)
        self.b = Instance("b", os.path.join(workdir, "syncthing-b"), folder_b)

    def instances(self):
        return (self.a, self.b)

    def pids(self):
        return [i.process.pid for i in self.instances() if i.process is not None]

    def start(self):
        for i in self.instances():
            os.makedirs(i.home, exist_ok=True)
            os.makedirs(os.path.join(i.folder, ".stfolder"), exist_ok=True)
            try:
                i.generate()
            except subprocess.CalledProcessError as e:
                raise SyncthingUnavailable(
                    f"syncthing cannot make its keys: {e.stderr.strip()}") from e
            except (OSError, subprocess.SubprocessError) as e:
                raise SyncthingUnavailable(f"syncthing cannot make its keys: {e}") from e
        # Only a dials b; b waits for it.
        self._write_config(self.a, self.b, f"tcp://127.0.0.1:{self.b.sync_port}")
        self._write_config(self.b, self.a, "dynamic")
        for i in self.instances():
            i.start(self.spawn)
        try:
            for i in self.instances():
                wait_until(i.alive, STARTUP_TIMEOUT, f"syncthing {i.name} to answer")
            wait_until(lambda: self.a.connected(self.b) and self.b.connected(self.a),
                       STARTUP_TIMEOUT, "the two syncthing instances to connect")
            self.settle()
        except BaseException:
            self.stop()
            raise

    def _write_config(self, own, peer, peer_address):
        with open(os.path.join(own.home, "config.xml"), "w", encoding="utf-8") as f:
            f.write(_config(own.device_id, peer.device_id, peer_address, own.folder,
                            own.sync_port, own.gui_port))

    def set_paused(self, paused):
        """Pauses or resumes the shared folder on both sides, as a user would in the GUI."""
        for i in self.instances():
            i.request("PATCH", f"/rest/config/folders/{FOLDER_ID}", {"paused": paused})
        for i in self.instances():
            # A paused folder reports an empty state; a running one names what it does.
            wait_until(lambda: (i.folder_state().get("state", "") == "") == paused, 15,
                       f"syncthing {i.name} to {'pause' if paused else 'resume'} the folder")
        if not paused:
            wait_until(lambda: self.a.connected(self.b) and self.b.connected(self.a), 15,
                       "the two syncthing instances to connect again")

    def in_step(self):
        """True when both folders hold the same files and both instances are idle and complete."""
        for i in self.instances():
            status = i.folder_state()
            if status.get("state") != "idle" or status.get("needTotalItems", 0) != 0:
                return False
        return tree(self.a.folder) == tree(self.b.folder)

    def settle(self, timeout=30.0):
        """Rescans both folders now and waits until both hold the same files."""
        stable_since = None

        def steady():
            nonlocal stable_since
            for i in self.instances():
                i.request("POST", f"/rest/db/scan?folder={FOLDER_ID}", timeout=timeout)
            # REST can report idle before the watcher has fired for a change: ask twice.
            if not self.in_step():
                stable_since = None
                return False
            if stable_since is None:
                stable_since = time.monotonic()
            return time.monotonic() - stable_since > 0.5

        wait_until(steady, timeout, "the two diary folders to hold the same files")

    def stop(self):
        for i in self.instances():
            i.stop()
