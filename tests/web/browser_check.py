#!/usr/bin/python3
"""The live page in a real browser (headless Chromium through Selenium).

Opens the page, waits for the scoreboard to fill, checks that the names
given show as text, waits for an event to arrive without a reload, checks
that nothing overlaps or runs off a wide and a phone-width window, and saves
a screenshot of each (web-wide.png, web-narrow.png, web-top-narrow.png).

Either serves the page itself:
  browser_check.py --serve PROGRAM --publish-event TEXT ...
(PROGRAM prints "URL http://..." and takes "event TEXT" lines on stdin, as
tests/web/WebFakeServer.cpp does), or looks at a running bot:
  browser_check.py --url http://127.0.0.1:8080/ --event-timeout 90 ...
where an event must come from the game within the time given.

Exit status: 0 passed, 1 failed, 77 skipped (no Chromium, chromedriver or
Selenium here, and FR_REQUIRE_PEERS is not 1).
"""
import argparse
import os
import select
import subprocess
import sys
import time

SKIP = 77


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def missing(what):
    if os.environ.get("FR_REQUIRE_PEERS") == "1":
        fail(what + " is missing (FR_REQUIRE_PEERS=1)")
    print("SKIP: " + what + " is missing", file=sys.stderr)
    sys.exit(SKIP)


def start_server(command):
    server = subprocess.Popen([command], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    ready, _, _ = select.select([server.stdout], [], [], 20)
    line = server.stdout.readline() if ready else ""
    if not line.startswith("URL "):
        server.kill()
        fail("the server did not say its address: %r" % line)
    return server, line.split()[1]


def tell(server, command):
    server.stdin.write(command + "\n")
    server.stdin.flush()
    ready, _, _ = select.select([server.stdout], [], [], 10)
    if not ready or server.stdout.readline().strip() != "OK":
        fail("the server did not take %r" % command)


def browser():
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError:
        missing("python3-selenium")
    for path in ("/usr/bin/chromium", "/usr/bin/chromedriver"):
        if not os.path.exists(path):
            missing(path)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--no-first-run", "--disable-extensions", "--hide-scrollbars",
                "--force-device-scale-factor=1", "--window-size=1280,900"):
        options.add_argument(arg)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait_for(driver, what, script, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = driver.execute_script(script)
        if value:
            return value
        time.sleep(0.1)
    fail("waited %ds for %s" % (timeout, what))


# Pairs of boxes that overlap although neither holds the other, and boxes
# that reach past the window's right edge.
LAYOUT_PROBLEMS = """
const boxes = [...document.querySelectorAll(arguments[0])]
  .filter(e => e.offsetParent !== null)
  .map(e => [e, e.getBoundingClientRect()]);
const problems = [];
const width = document.documentElement.clientWidth;
if (document.documentElement.scrollWidth > width)
  problems.push('the page is wider than the window: ' + document.documentElement.scrollWidth);
for (const [e, r] of boxes) {
  if (r.right > width + 0.5) problems.push((e.id || e.className || e.tagName) + ' runs off the right edge');
  if ((e.tagName === 'TD' || e.tagName === 'TH') && e.scrollWidth > e.clientWidth + 1)
    problems.push('"' + e.textContent + '" is wider than its cell');
}
for (let i = 0; i < boxes.length; i++)
  for (let j = i + 1; j < boxes.length; j++) {
    const [a, ra] = boxes[i], [b, rb] = boxes[j];
    if (a.contains(b) || b.contains(a)) continue;
    const w = Math.min(ra.right, rb.right) - Math.max(ra.left, rb.left);
    const h = Math.min(ra.bottom, rb.bottom) - Math.max(ra.top, rb.top);
    if (w > 0.5 && h > 0.5)
      problems.push((a.id || a.className || a.tagName) + ' overlaps ' + (b.id || b.className || b.tagName)
                    + ': "' + a.textContent.slice(0, 30) + '" / "' + b.textContent.slice(0, 30) + '"');
  }
return problems;
"""
BOXES = "h1, .fact, .badge, .team, section.card, footer a, td, th, #events li, nav a"


def check_layout(driver, label):
    problems = driver.execute_script(LAYOUT_PROBLEMS, BOXES)
    if problems:
        fail("%s: %s" % (label, "; ".join(problems[:10])))


def screenshot(driver, folder, name, width):
    # As tall as the page, so that the picture shows all of it.
    driver.set_window_size(width, 900)
    height = driver.execute_script("return document.documentElement.scrollHeight")
    driver.set_window_size(width, min(max(height + 140, 600), 4000))
    path = os.path.join(folder, name)
    driver.save_screenshot(path)
    print("screenshot: " + path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--serve", help="a program that serves the page (prints its URL)")
    where.add_argument("--url", help="the page of a running bot")
    parser.add_argument("--screenshots", required=True, help="folder for the PNG files")
    parser.add_argument("--expect-player", action="append", default=[],
                        help="a name that must show, as text, on the scoreboard")
    parser.add_argument("--min-players", type=int, default=1)
    parser.add_argument("--publish-event", help="with --serve: the event line to publish")
    parser.add_argument("--event-timeout", type=float, default=20,
                        help="seconds to wait for an event to arrive")
    args = parser.parse_args()
    if args.serve and not args.publish_event:
        parser.error("--serve needs --publish-event")
    os.makedirs(args.screenshots, exist_ok=True)

    server, url = start_server(args.serve) if args.serve else (None, args.url)
    driver = None
    try:
        driver = browser()
        driver.get(url)
        wait_for(driver, "the scoreboard to fill",
                 "return document.querySelectorAll('.team td.name a').length >= %d && "
                 "document.getElementById('map').textContent !== '\\u2013'" % args.min_players, 20)
        names = driver.execute_script(
            "return [...document.querySelectorAll('.team td.name a')].map(a => a.textContent)")
        for name in args.expect_player:
            if name not in names:
                fail("%r is not on the scoreboard: %r" % (name, names[:20]))
        # Markup in a name stays text: the page's one script is all there is.
        if driver.execute_script("return document.scripts.length") != 1:
            fail("the page holds a script it did not bring")
        # A mark that a reload would wipe out.
        driver.execute_script("window.frNoReload = true")
        before = driver.execute_script(
            "return [...document.querySelectorAll('#events li')].map(li => li.textContent)")
        if args.publish_event:
            tell(server, "event " + args.publish_event)
            wait_for(driver, "the published event",
                     "return [...document.querySelectorAll('#events li')]"
                     ".some(li => li.textContent === arguments[0])".replace(
                         "arguments[0]", repr(args.publish_event)), args.event_timeout)
        else:
            wait_for(driver, "an event", "const seen = %r; return [...document.querySelectorAll("
                     "'#events li')].some(li => !seen.includes(li.textContent))" % before,
                     args.event_timeout)
        if not driver.execute_script("return window.frNoReload === true"):
            fail("the page reloaded to show the event")
        newest = driver.execute_script("return document.querySelector('#events li').textContent")
        print("event arrived: %s" % newest)

        check_layout(driver, "wide window")
        screenshot(driver, args.screenshots, "web-wide.png", 1280)
        driver.set_window_size(390, 844)
        check_layout(driver, "phone-width window")
        screenshot(driver, args.screenshots, "web-narrow.png", 390)

        # The top list at phone width: names as text there too.
        driver.get(url.rstrip("/") + "/top?metric=kills&period=all")
        driver.set_window_size(390, 844)
        top_names = driver.execute_script(
            "return [...document.querySelectorAll('td.name a')].map(a => a.textContent)")
        if args.serve:
            for name in args.expect_player:
                if name not in top_names:
                    fail("%r is not in the top list: %r" % (name, top_names))
        if driver.execute_script("return document.scripts.length") != 0:
            fail("the top list holds a script")
        check_layout(driver, "top list, phone width")
        screenshot(driver, args.screenshots, "web-top-narrow.png", 390)
        print("PASS: %d players, event seen without a reload, layouts fit" % len(names))
        return 0
    finally:
        if driver:
            driver.quit()
        if server:
            try:
                server.stdin.close()
                server.wait(timeout=10)
            except Exception:
                server.kill()


if __name__ == "__main__":
    sys.exit(main())
