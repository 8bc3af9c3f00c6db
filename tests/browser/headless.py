"""What the browser tests share: the failure they report, PNG decoding with the standard
library, finding a Chromium that runs, its command line, a screenshot and a DOM dump of a page,
and a DevTools session over a pipe that sees every request a page makes."""
import base64
import json
import os
import select
import shutil
import struct
import subprocess
import sys
import zlib

SKIP = 77


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run_check(main):
    """Exits with what a check's main returns, or with 1 after a failure's message."""
    try:
        sys.exit(main())
    except Failure as failure:
        print(f"FAILED: {failure}")
        sys.exit(1)


# --- PNG decoding with the standard library ----------------------------------------------

def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def decode_png(data, what):
    """Returns (width, height, rows), rows a list of bytes objects of RGB triples."""
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"{what} is no PNG file")
    pos, idat, header = 8, [], None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
        pos += 12 + length
    check(header is not None, f"{what} has no IHDR")
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    check(depth == 8 and channels and interlace == 0,
          f"{what}: only 8-bit RGB or RGBA without interlace is read (depth {depth}, "
          f"colour type {colour}, interlace {interlace})")
    raw = zlib.decompress(b"".join(idat))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + paeth(left, up, corner)) & 0xFF
            else:
                check(kind == 0, f"{what}: unknown filter {kind} in row {y}")
        previous = line
        if channels == 4:
            line = bytearray(b for i, b in enumerate(line) if i % 4 != 3)
        rows.append(bytes(line))
    return width, height, rows


def read_png(path):
    with open(path, "rb") as f:
        return decode_png(f.read(), path)


def pixels_where(image, test):
    """The set of (x, y) whose RGB passes test."""
    width, height, rows = image
    found = set()
    for y, row in enumerate(rows):
        for x in range(width):
            if test(row[3 * x], row[3 * x + 1], row[3 * x + 2]):
                found.add((x, y))
    return found


def colours(image):
    """The distinct RGB triples of an image."""
    width, _, rows = image
    return {row[3 * x:3 * x + 3] for row in rows for x in range(width)}


def near(colour, tolerance):
    return lambda r, g, b: all(abs(v - c) <= tolerance for v, c in zip((r, g, b), colour))


def runs(values):
    """Groups sorted integers into runs of consecutive ones: a list of (first, last)."""
    groups = []
    for v in sorted(values):
        if groups and v == groups[-1][1] + 1:
            groups[-1][1] = v
        else:
            groups.append([v, v])
    return [tuple(g) for g in groups]


# --- the browser -------------------------------------------------------------------------

def find_chromium():
    named = os.environ.get("SETI_CHROMIUM")
    candidates = [named] if named else ["chromium", "chromium-browser"]
    for name in candidates:
        path = shutil.which(name)
        if path:
            return path, None
    return None, f"no browser found (looked for {', '.join(candidates)} on PATH; " \
                 "install the Debian package chromium or name one in SETI_CHROMIUM)"


def usable_chromium():
    """(path, None) for a browser that runs here, or (None, why not)."""
    chromium, reason = find_chromium()
    if not chromium:
        return None, reason
    try:
        subprocess.run([chromium, "--version"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=60, check=True)
    except (OSError, subprocess.SubprocessError) as error:
        return None, f"{chromium} does not run here: {error}"
    return chromium, None


def browser_command(chromium, profile, width, height):
    command = [chromium, "--headless", "--disable-gpu", "--hide-scrollbars",
               "--force-device-scale-factor=1", f"--window-size={width},{height}",
               "--no-first-run", f"--user-data-dir={profile}"]
    if hasattr(os, "geteuid") and os.geteuid() == 0:
        command.append("--no-sandbox")  # Chromium's sandbox refuses to run as root
    return command


def run_browser(command, what):
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=120)
    except subprocess.TimeoutExpired:
        raise Failure(f"{what}: the browser did not finish in 120 seconds")
    return done


def render(command, page_path, screenshot, width, height):
    if os.path.exists(screenshot):
        os.remove(screenshot)
    done = run_browser(command + [f"--screenshot={screenshot}", "file://" + page_path],
                       f"screenshot of {page_path}")
    check(os.path.exists(screenshot),
          f"no screenshot of {page_path} (status {done.returncode}): "
          f"{done.stderr.decode(errors='replace')[-2000:]}")
    image = read_png(screenshot)
    check(image[0] == width and image[1] == height,
          f"screenshot is {image[0]}x{image[1]}, not {width}x{height}")
    return image


def dump_dom(command, page_path):
    done = run_browser(command + ["--dump-dom", "file://" + page_path], "DOM of the page")
    return done.stdout.decode(errors="replace")


class DevTools:
    """One browser driven over --remote-debugging-pipe (the browser reads commands on its
    descriptor 3 and answers on 4, each message JSON ended by a NUL byte). The network
    domain reports every request a page makes, file:// ones included, which neither a DOM
    dump nor the browser's net log shows."""

    def __init__(self, command, timeout=120):
        self.timeout = timeout
        to_browser_r, to_browser_w = os.pipe()
        from_browser_r, from_browser_w = os.pipe()

        def descriptors():
            # Through copies, so that neither pipe end is lost when it already is 3 or 4.
            commands, answers = os.dup(to_browser_r), os.dup(from_browser_w)
            os.dup2(commands, 3)
            os.dup2(answers, 4)

        self.process = subprocess.Popen(command + ["--remote-debugging-pipe"],
                                        preexec_fn=descriptors, close_fds=False,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.commands, self.answers = to_browser_w, from_browser_r
        self.buffer, self.last_id, self.events = b"", 0, []
        self.session = None

    def close(self):
        try:
            self.call("Browser.close", session=False)
        except Failure:
            pass
        try:
            self.process.wait(30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.commands)
        os.close(self.answers)
        self.process.stderr.close()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def _read(self):
        while b"\0" not in self.buffer:
            ready, _, _ = select.select([self.answers], [], [], self.timeout)
            check(ready, f"the browser said nothing for {self.timeout} seconds")
            chunk = os.read(self.answers, 1 << 20)
            check(chunk, "the browser closed its DevTools pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None):
        """Sends a command (to the page's session unless session is False) and returns its
        result; events that come meanwhile are kept in self.events."""
        self.last_id += 1
        message = {"id": self.last_id, "method": method, "params": params or {}}
        if session is None:
            session = self.session
        if session:
            message["sessionId"] = session
        try:
            os.write(self.commands, json.dumps(message).encode() + b"\0")
        except BrokenPipeError:
            raise Failure(f"the browser is gone: "
                          f"{self.process.stderr.read().decode(errors='replace')[-2000:]}")
        while True:
            answer = self._read()
            if answer.get("id") == self.last_id:
                check("error" not in answer, f"{method}: {answer.get('error')}")
                return answer.get("result", {})
            self.events.append(answer)

    def wait_for(self, method):
        for i, event in enumerate(self.events):
            if event.get("method") == method:
                return self.events.pop(i)
        while True:
            event = self._read()
            if event.get("method") == method:
                return event
            self.events.append(event)

    def open(self, url, width, height):
        """Opens url in a new page of the given size, recording requests, and waits until
        it has loaded."""
        target = self.call("Target.createTarget", {"url": "about:blank"}, session=False)
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target["targetId"], "flatten": True},
                                 session=False)["sessionId"]
        self.resize(width, height)
        self.call("Network.enable")
        self.call("Page.enable")
        self.events = []
        self.call("Page.navigate", {"url": url})
        self.wait_for("Page.loadEventFired")

    def resize(self, width, height, mobile=False):
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": mobile})

    def requested(self):
        """The URL of every request the page has made so far."""
        return [e["params"]["request"]["url"] for e in self.events
                if e.get("method") == "Network.requestWillBeSent"]

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page, as JSON gives it back."""
        result = self.call("Runtime.evaluate", {"expression": expression,
                                                "returnByValue": True})
        check("exceptionDetails" not in result,
              f"{expression}: {result.get('exceptionDetails')}")
        return result["result"].get("value")

    def screenshot(self, clip=None):
        """A PNG of the page's viewport, or of the clip {x, y, width, height} of the whole
        page; returned decoded, with its bytes."""
        params = {"format": "png"}
        if clip:
            params["clip"] = dict(clip, scale=1)
            params["captureBeyondViewport"] = True
        data = base64.b64decode(self.call("Page.captureScreenshot", params)["data"])
        return decode_png(data, "screenshot"), data
