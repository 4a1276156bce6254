#!/usr/bin/python3
"""xterm.js's pseudo-terminal: serves the page and Debian's xterm.js to the browser, and joins the
page's terminal to a command on a pseudo-terminal over a WebSocket.

    bridge.py PORT_FILE SCREEN_FILE -- command [argument...]

The port it listens on (on 127.0.0.1) goes into PORT_FILE once it listens. The command starts when
the page has told its size, leading a session of its own with the pseudo-terminal as its
controlling terminal. SIGUSR1 asks the page for the text on its screen, which is then written into
SCREEN_FILE. The bridge ends when the command's side of the pseudo-terminal closes, or when the
page goes: then the pseudo-terminal closes, and the command's side is hung up."""

import asyncio
import fcntl
import http
import json
import os
import pathlib
import signal
import struct
import subprocess
import sys
import termios

import websockets

XTERM = pathlib.Path("/usr/share/nodejs/xterm/lib")
PAGE = pathlib.Path(__file__).with_name("page.html")
TYPES = {".js": "application/javascript", ".css": "text/css", ".html": "text/html"}


def set_size(fd, cols, rows):
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", rows, cols, 0, 0))


def take_terminal():
    """In the command's process: the pseudo-terminal as its controlling terminal, and SIGINT and
    SIGQUIT as a shell started from a desktop finds them, whatever the bridge was started with."""
    fcntl.ioctl(0, termios.TIOCSCTTY, 0)
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    signal.signal(signal.SIGQUIT, signal.SIG_DFL)


async def serve_file(path, headers):
    """The page and xterm.js's modules over plain HTTP; None lets the WebSocket through."""
    if path == "/pty":
        return None
    if path == "/":
        file = PAGE
    else:
        # Debian links the addons in from elsewhere: no resolving, only no way up.
        name = path.removeprefix("/xterm/")
        file = XTERM / name
        if not path.startswith("/xterm/") or ".." in name.split("/") or not file.is_file():
            return (http.HTTPStatus.NOT_FOUND, [], b"")
    return (http.HTTPStatus.OK, [("Content-Type", TYPES.get(file.suffix, "application/octet-stream"))], file.read_bytes())


async def main():
    port_file, screen_file = sys.argv[1], sys.argv[2]
    command = sys.argv[sys.argv.index("--") + 1:]
    loop = asyncio.get_running_loop()
    finished = loop.create_future()
    started = False
    # Until the page is there, a request for the screen has no one to ask.
    loop.add_signal_handler(signal.SIGUSR1, lambda: None)

    async def session(socket, path):
        nonlocal started
        if started:  # a reload of the page would get a second shell: refuse it
            await socket.close()
            return
        started = True
        size = json.loads(await socket.recv())
        master, slave = os.openpty()
        set_size(master, size["cols"], size["rows"])
        # What xterm.js's own users set for it.
        env = dict(os.environ, TERM="xterm-256color")
        child = subprocess.Popen(command, env=env, stdin=slave, stdout=slave, stderr=slave, start_new_session=True,
                                 preexec_fn=take_terminal)
        os.close(slave)
        output = asyncio.Queue()

        def readable():
            try:
                data = os.read(master, 65536)
            except OSError:
                data = b""
            output.put_nowait(data)
            if not data:
                loop.remove_reader(master)

        loop.add_reader(master, readable)
        loop.add_signal_handler(signal.SIGUSR1, lambda: asyncio.ensure_future(socket.send(json.dumps("screen"))))

        async def to_page():
            while data := await output.get():
                await socket.send(data)

        async def from_page():
            async for message in socket:
                message = json.loads(message)
                if "data" in message:
                    os.write(master, message["data"].encode())
                elif "resize" in message:
                    cols, rows = message["resize"]
                    # The kernel tells the foreground process group with SIGWINCH.
                    set_size(master, cols, rows)
                elif "screen" in message:
                    pathlib.Path(screen_file + ".part").write_text(message["screen"])
                    os.replace(screen_file + ".part", screen_file)

        reader = asyncio.ensure_future(from_page())
        writer = asyncio.ensure_future(to_page())
        await asyncio.wait([reader, writer], return_when=asyncio.FIRST_COMPLETED)
        # A page that goes, its window closed, takes the terminal with it, as the window of any
        # other terminal does: the command's side hangs up.
        reader.cancel()
        writer.cancel()
        loop.remove_reader(master)
        os.close(master)
        child.wait()
        finished.set_result(None)

    # No pings: a loaded machine that answers one late must not lose the terminal.
    async with websockets.serve(session, "127.0.0.1", 0, process_request=serve_file, max_size=None,
                                ping_interval=None, compression=None) as server:
        port = server.sockets[0].getsockname()[1]
        pathlib.Path(port_file + ".part").write_text(f"{port}\n")
        os.replace(port_file + ".part", port_file)
        await finished


if __name__ == "__main__":
    asyncio.run(main())
