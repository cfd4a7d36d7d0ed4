#!/usr/bin/python3
"""FTP server for the update tests: pyftpdlib speaking GBK on 127.0.0.1.

pyftpdlib 1.5.7 hard-codes UTF-8 on the control and listing channels; the
update server the program talks to uses GBK, so the handler and the
filesystem below transcode.  Names on disk stay in the local file system
encoding (UTF-8); only the wire is GBK.

Options for hostile or unusual behaviour:
  --no-mlsd              drop MLSD/MLST so clients must parse LIST output
  --stub-dir PATH        LIST/MLSD of this FTP path return the raw lines of
  --stub-list FILE         FILE (LIST) and
  --stub-mlsd FILE         FILE (MLSD) instead of the real directory
  --stub-recursive       ... and so does every folder below PATH (an endless tree)
  --command-log FILE     append every received command line to FILE
  --fail-retr N          refuse the first N RETR commands with 550
  --gate-file FILE       a download sends --gate-after bytes (default 16),
                           then waits until FILE exists (a stalled transfer)
  --endless-file NAME    a download of a file of this name sends bytes without end
  --trickle-file NAME    a download of a file of this name sends one byte every
                           --trickle-seconds (default 10)
  --drop-file NAME       a download of a file of this name sends --drop-after
                           bytes (default 16), then the server drops the whole
                           connection without a reply

The listening port is written to --port-file once the socket accepts
connections.  The server ends when its standard input closes, so it never
outlives the test that started it.
"""

import argparse
import logging
import os
import sys
import threading
import warnings

warnings.simplefilter("ignore")

from pyftpdlib.authorizers import DummyAuthorizer  # noqa: E402
from pyftpdlib.filesystems import AbstractedFS  # noqa: E402
from pyftpdlib.handlers import DTPHandler, FileProducer, FTPHandler, proto_cmds  # noqa: E402
from pyftpdlib.servers import FTPServer  # noqa: E402

WIRE = "gbk"


def to_wire(line_bytes):
    """format_list/format_mlsx yield UTF-8; re-encode the line as GBK."""
    return line_bytes.decode("utf8", "replace").encode(WIRE, "replace")


class GbkFS(AbstractedFS):
    def format_list(self, basedir, listing, ignore_err=True):
        for line in super().format_list(basedir, listing, ignore_err):
            yield to_wire(line)

    def format_mlsx(self, basedir, listing, perms, facts, ignore_err=True):
        for line in super().format_mlsx(basedir, listing, perms, facts, ignore_err):
            yield to_wire(line)


class GatedDTPHandler(DTPHandler):
    """Sends the first gate_after bytes of a file, then nothing until gate_file exists."""

    gate_file = None
    gate_after = 16

    def __init__(self, sock, cmd_channel):
        super().__init__(sock, cmd_channel)
        self._gate_sent = 0
        self._gate_timer = None

    def use_sendfile(self):
        return False

    def _gated(self):
        # Only file transfers wait; listings go through at once.
        return self.file_obj is not None and not os.path.exists(self.gate_file)

    def send(self, data):
        if self._gated():
            room = self.gate_after - self._gate_sent
            if room <= 0:
                self._sleep()
                return 0
            data = data[:room]
        sent = super().send(data)
        self._gate_sent += sent
        return sent

    def _sleep(self):
        if self._gate_timer is not None and not self._gate_timer.cancelled:
            return
        self.del_channel()

        def wake():
            self._gate_timer = None
            self.add_channel(events=self.ioloop.WRITE)

        self._gate_timer = self.ioloop.call_later(0.05, wake, _errback=self.handle_error)

    def close(self):
        if self._gate_timer is not None and not self._gate_timer.cancelled:
            self._gate_timer.cancel()
        super().close()


class EndlessFile:
    """Reads as a file that never ends."""

    def __init__(self, name):
        self.name = name
        self.closed = False

    def read(self, size=-1):
        return b"x" * (65536 if size is None or size < 0 else size)

    def close(self):
        self.closed = True


class HostileDTPHandler(DTPHandler):
    """Downloads of the named files trickle or stop with the whole connection dropped."""

    trickle_name = None
    trickle_seconds = 10.0
    drop_name = None
    drop_after = 16

    def __init__(self, sock, cmd_channel):
        super().__init__(sock, cmd_channel)
        self._sent = 0
        self._timer = None

    def use_sendfile(self):
        return False

    def _named(self, name):
        return name is not None and self.file_obj is not None and os.path.basename(self.file_obj.name) == name

    def send(self, data):
        if self._named(self.drop_name) and self._sent + len(data) >= self.drop_after:
            data = data[: max(0, self.drop_after - self._sent)]
            if data:
                super().send(data)
            # Gone without a word: the data and the control connection close at once.
            cmd = self.cmd_channel
            self.close()
            cmd.close()
            return 0
        if self._named(self.trickle_name):
            if self._timer is not None and not self._timer.cancelled:
                return 0
            sent = super().send(data[:1])
            self._sent += sent
            self.del_channel()

            def wake():
                self._timer = None
                self.add_channel(events=self.ioloop.WRITE)

            self._timer = self.ioloop.call_later(self.trickle_seconds, wake, _errback=self.handle_error)
            return sent
        sent = super().send(data)
        self._sent += sent
        return sent

    def close(self):
        if self._timer is not None and not self._timer.cancelled:
            self._timer.cancel()
        super().close()


class GbkHandler(FTPHandler):
    abstracted_fs = GbkFS
    auth_failed_timeout = 0.05
    stub_dir = None
    stub_recursive = False
    stub_list = b""
    stub_mlsd = b""
    command_log = None
    fail_retr = [0]  # shared by every connection

    def decode(self, data):
        return data.decode(WIRE, self.unicode_errors)

    def push(self, s):
        # Same as the base class, but GBK on the control channel.
        super(FTPHandler, self).push(s.encode(WIRE, "replace"))

    def push_dtp_data(self, data, isproducer=False, file=None, cmd=None):
        if cmd == "NLST" and not isproducer:
            data = to_wire(data)
        super().push_dtp_data(data, isproducer=isproducer, file=file, cmd=cmd)

    def pre_process_command(self, line, cmd, arg):
        if self.command_log:
            shown = "PASS ******" if cmd == "PASS" else line
            with open(self.command_log, "a", encoding="utf8") as f:
                f.write(shown + "\n")
        return super().pre_process_command(line, cmd, arg)

    def _is_stub(self, path):
        if self.stub_dir is None:
            return False
        ftp_path = self.fs.fs2ftp(path).rstrip("/")
        if ftp_path == self.stub_dir:
            return True
        return self.stub_recursive and ftp_path.startswith(self.stub_dir + "/")

    endless_name = None

    def ftp_RETR(self, file):
        if self.fail_retr[0] > 0:
            self.fail_retr[0] -= 1
            self.respond("550 Transfer refused.")
            return None
        if self.endless_name is not None and os.path.basename(file) == self.endless_name:
            fd = EndlessFile(file)
            self.push_dtp_data(FileProducer(fd, self._current_type), isproducer=True, file=fd, cmd="RETR")
            return file
        return super().ftp_RETR(file)

    def ftp_LIST(self, path):
        if self._is_stub(path):
            self.push_dtp_data(self.stub_list, cmd="LIST")
            return path
        return super().ftp_LIST(path)

    def ftp_MLSD(self, path):
        if self._is_stub(path):
            self.push_dtp_data(self.stub_mlsd, cmd="MLSD")
            return path
        return super().ftp_MLSD(path)

    def ftp_MLST(self, path):
        # The base class decodes its own listing line as UTF-8.
        line = self.fs.fs2ftp(path)
        basedir, basename = os.path.split(path)
        perms = self.authorizer.get_perms(self.username)
        try:
            iterator = self.run_as_current_user(
                self.fs.format_mlsx, basedir, [basename], perms, self._current_facts, ignore_err=False
            )
            data = b"".join(iterator).decode(WIRE, self.unicode_errors)
        except OSError as err:
            self.respond("550 %s." % err.strerror)
            return None
        data = data.split(" ")[0] + " %s\r\n" % line
        self.push('250-Listing "%s":\r\n' % line)
        self.push(" " + data)
        self.respond("250 End MLST.")
        return path


def read_bytes(path):
    if not path:
        return b""
    with open(path, "rb") as f:
        return f.read()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--port-file", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--no-mlsd", action="store_true")
    p.add_argument("--stub-dir")
    p.add_argument("--stub-list")
    p.add_argument("--stub-mlsd")
    p.add_argument("--stub-recursive", action="store_true")
    p.add_argument("--command-log")
    p.add_argument("--fail-retr", type=int, default=0)
    p.add_argument("--gate-file")
    p.add_argument("--gate-after", type=int, default=16)
    p.add_argument("--endless-file")
    p.add_argument("--trickle-file")
    p.add_argument("--trickle-seconds", type=float, default=10.0)
    p.add_argument("--drop-file")
    p.add_argument("--drop-after", type=int, default=16)
    a = p.parse_args()

    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)

    authorizer = DummyAuthorizer()
    authorizer.add_user(a.user, a.password, a.root, perm="elradfmwMT")

    handler = GbkHandler
    handler.authorizer = authorizer
    handler.banner = "update test server ready."
    if a.no_mlsd:
        cmds = proto_cmds.copy()
        cmds.pop("MLSD", None)
        cmds.pop("MLST", None)
        handler.proto_cmds = cmds
    if a.stub_dir:
        handler.stub_dir = "/" + a.stub_dir.strip("/")
        handler.stub_list = read_bytes(a.stub_list)
        handler.stub_mlsd = read_bytes(a.stub_mlsd)
        handler.stub_recursive = a.stub_recursive
    handler.command_log = a.command_log
    handler.fail_retr = [a.fail_retr]
    if a.gate_file:
        GatedDTPHandler.gate_file = a.gate_file
        GatedDTPHandler.gate_after = a.gate_after
        handler.dtp_handler = GatedDTPHandler
    handler.endless_name = a.endless_file
    if a.trickle_file or a.drop_file:
        HostileDTPHandler.trickle_name = a.trickle_file
        HostileDTPHandler.trickle_seconds = a.trickle_seconds
        HostileDTPHandler.drop_name = a.drop_file
        HostileDTPHandler.drop_after = a.drop_after
        handler.dtp_handler = HostileDTPHandler

    server = FTPServer(("127.0.0.1", 0), handler)
    port = server.socket.getsockname()[1]

    tmp = a.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, a.port_file)

    def watch_parent():
        try:
            sys.stdin.buffer.read()
        finally:
            os._exit(0)

    threading.Thread(target=watch_parent, daemon=True).start()
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
