"""The studio page in headless Chromium (run by studio_browser.sh).

Every wait is on a state of the page or the player, with a deadline; no
check rests on a fixed sleep.
"""
import argparse
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

DEADLINE = 20  # seconds for anything awaited


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


class Player:
    """The player's interface, as any tool would use it."""

    def __init__(self, url):
        parts = urllib.parse.urlsplit(url)
        self.base = "%s://%s" % (parts.scheme, parts.netloc)
        self.port = parts.port
        self.token = urllib.parse.parse_qs(parts.query)["token"][0]

    def get(self, path):
        request = urllib.request.Request(self.base + path, headers={"X-Vortane-Token": self.token})
        with urllib.request.urlopen(request, timeout=DEADLINE) as response:
            return json.load(response)

    def port_closed(self):
        try:
            socket.create_connection(("127.0.0.1", self.port), timeout=2).close()
            return False
        except OSError:
            return True


def wait_for(what, condition, timeout=DEADLINE):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > end:
            fail("timed out waiting for " + what)
        time.sleep(0.05)


def window_title(window):
    out = subprocess.run(["xprop", "-id", window, "_NET_WM_NAME"], capture_output=True, text=True).stdout
    return out.split("=", 1)[1].strip().strip('"') if "=" in out else ""


def title_time(title):
    """The demo time of the debug title "FPS: n FRAME: ms"."""
    try:
        return float(title.split("FRAME:")[1])
    except (IndexError, ValueError):
        return float("nan")


def press_escape(window):
    subprocess.run(["xdotool", "mousemove", "--window", window, "5", "5"], check=True)
    subprocess.run(["xdotool", "keydown", "Escape"], check=True)
    time.sleep(0.1)  # a press shorter than the auto-repeat delay
    subprocess.run(["xdotool", "keyup", "Escape"], check=True)


def browser(args):
    options = webdriver.ChromeOptions()
    options.binary_location = args.chromium
    for flag in ("--headless=new", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-extensions",
                 "--user-data-dir=" + tempfile.mkdtemp(prefix="studio-chromium-")):
        options.add_argument(flag)
    if os.geteuid() == 0:
        options.add_argument("--no-sandbox")  # Chromium refuses its sandbox to root
    return webdriver.Chrome(service=Service(args.chromedriver), options=options)


def set_width(driver, width, height=760):
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})


def check_rows(driver, timeline):
    items = timeline["items"]
    WebDriverWait(driver, DEADLINE).until(
        lambda d: d.execute_script("return document.body.dataset.items") == str(len(items)))
    rows = driver.execute_script(
        "return Array.from(document.querySelectorAll('#row-list .row')).map(r => ({index: Number(r.dataset.index),"
        " file: r.dataset.file, status: r.dataset.status, text: r.textContent, bars: r.querySelectorAll('.bar').length}))")
    if len(rows) != len(items):
        fail("%d rows for %d items" % (len(rows), len(items)))
    for item, row in zip(items, rows):
        if row["index"] != item["index"] or row["file"] != item["file"] or row["bars"] != len(item["lines"]):
            fail("row %r does not show item %r" % (row, item))
    failed = [row for row in rows if row["status"] == "failed"]
    if len(failed) != 1 or "broken.vto" not in failed[0]["file"] or "sixteen" not in failed[0]["text"]:
        fail("the broken item's row is not marked with its message: %r" % failed)
    # The rows whose files have findings carry the mark, and only they.
    marked = driver.execute_script(
        "return Array.from(document.querySelectorAll('#row-list .row'), r => r.classList.contains('findings')"
        " && getComputedStyle(r.querySelector('.file'), '::after').content.includes('\u26a0'))")
    found = [bool(item.get("findings")) for item in items]
    if marked != found or not any("flat.vto" in item["file"] for item, mark in zip(items, marked) if mark) \
            or all(marked):
        fail("the rows with findings are not the marked ones: %r for %r" % (marked, found))
    # A row's buttons are reached from the keyboard: focused, they show.
    shown = driver.execute_script(
        "const b = document.querySelector('#row-list .row .item-edit button'); b.focus();"
        " const shown = document.activeElement === b && b.getBoundingClientRect().width > 0; b.blur(); return shown")
    if not shown:
        fail("a row's button cannot be focused, or stays hidden while it has the focus")
    print("studio_browser: %d rows, the broken one and the one with a finding marked" % len(rows))


def check_widths(driver):
    for width in (800, 2560):
        set_width(driver, width)
        WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
            "return document.querySelector('#ruler-track').getBoundingClientRect().right <= innerWidth + 1"
            " && document.documentElement.scrollWidth <= innerWidth"))


def check_seek(driver, player, window):
    driver.find_element(By.ID, "play").click()
    wait_for("the pause", lambda: player.get("/api/state")["paused"])
    track = driver.find_element(By.ID, "ruler-track")
    width = track.size["width"]
    end_ms = player.get("/api/state")["end_ms"]
    for fraction in (0.25, 0.6):
        x = round(width * fraction)
        ActionChains(driver).move_to_element_with_offset(track, x - width // 2, 0).click().perform()
        expected = x / width * end_ms
        state = wait_for("the seek to %.0f ms" % expected,
                         lambda: (lambda s: s if abs(s["time_ms"] - expected) <= end_ms / width + 1 else None)(
                             player.get("/api/state")))
        title = wait_for("the title at %.0f ms" % state["time_ms"],
                         lambda: (lambda t: t if abs(title_time(t) - state["time_ms"]) <= 0.02 else None)(
                             window_title(window)))
        print("studio_browser: a click at %d of %d px seeks to %.3f ms (%s)" % (x, width, state["time_ms"], title))
    driver.find_element(By.ID, "play").click()
    wait_for("the resume", lambda: not player.get("/api/state")["paused"])


WHEEL = """
    const track = document.querySelector('#ruler-track'), box = track.getBoundingClientRect();
    track.dispatchEvent(new WheelEvent('wheel', {deltaY: arguments[0], ctrlKey: arguments[1], bubbles: true,
        cancelable: true, clientX: box.left + box.width / 2, clientY: box.top + 10}));
    return Object.assign({}, window.vortaneStudio.view);
"""


def check_zoom(driver, player):
    """Ctrl+wheel zooms, the wheel scrolls; the ruler seeks and the cursor
    shows the time at any zoom."""
    driver.find_element(By.ID, "play").click()
    wait_for("the pause", lambda: player.get("/api/state")["paused"])
    end_ms = player.get("/api/state")["end_ms"]
    for _ in range(3):
        view = driver.execute_script(WHEEL, -300, True)
    if not 0 < view["span"] < end_ms / 4:
        fail("ctrl+wheel did not zoom in: %r" % view)
    scrolled = driver.execute_script(WHEEL, 200, False)
    if not scrolled["from"] > view["from"] or scrolled["span"] != view["span"]:
        fail("the wheel did not scroll: %r then %r" % (view, scrolled))
    track = driver.find_element(By.ID, "ruler-track")
    width = track.size["width"]
    x = round(width * 0.75)
    ActionChains(driver).move_to_element_with_offset(track, x - width // 2, 0).click().perform()
    expected = scrolled["from"] + x / width * scrolled["span"]
    wait_for("the seek to %.0f ms when zoomed" % expected,
             lambda: abs(player.get("/api/state")["time_ms"] - expected) <= scrolled["span"] / width + 1)
    wait_for("the cursor under the click", lambda: abs(driver.execute_script(
        "const c = document.querySelector('#ruler-track .cursor').getBoundingClientRect();"
        "return c.left + c.width / 2 - arguments[0].getBoundingClientRect().left", track) - x) <= 2)
    if driver.execute_script(WHEEL, 5000, True)["span"] != 0:
        fail("ctrl+wheel did not zoom out to the whole demo")
    driver.find_element(By.ID, "play").click()
    wait_for("the resume", lambda: not player.get("/api/state")["paused"])
    print("studio_browser: zoomed to %.0f of %.0f ms, scrolled, and a click seeks to %.0f ms"
          % (view["span"], end_ms, expected))


def check_transport(driver, player):
    """The speed buttons, and a loop span shift-dragged on the ruler."""
    for speed in ("0.5", "1"):
        driver.find_element(By.CSS_SELECTOR, '#speeds button[data-speed="%s"]' % speed).click()
        wait_for("speed " + speed, lambda: player.get("/api/state")["speed"] == float(speed))
    track = driver.find_element(By.ID, "ruler-track")
    width = track.size["width"]
    end_ms = player.get("/api/state")["end_ms"]
    start, stop = round(width * 0.4), round(width * 0.55)
    (ActionChains(driver).key_down(Keys.SHIFT).move_to_element_with_offset(track, start - width // 2, 0)
     .click_and_hold().move_by_offset(stop - start, 0).release().key_up(Keys.SHIFT).perform())
    near = lambda a, b: abs(a - b) <= end_ms / width + 1
    loop = wait_for("the loop span", lambda: (lambda l: l if l and near(l[0], start / width * end_ms) and near(
        l[1], stop / width * end_ms) else None)(player.get("/api/state")["loop"]))
    WebDriverWait(driver, DEADLINE).until(lambda d: d.find_element(By.ID, "loop-text").text != "off")
    print("studio_browser: speeds set; a shift-drag loops %.0f to %.0f ms" % tuple(loop))


def check_reload(driver, path):
    with open(path, "a") as edited:
        edited.write("# edited by the studio test\n")
    name = os.path.basename(path)
    WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
        "return Array.from(document.querySelectorAll('#console li.reload')).some(li => li.textContent.includes(arguments[0]))",
        name))
    WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
        "return document.querySelector('#row-list .row.reloaded') !== null"))
    print("studio_browser: the reload of %s reached the console" % name)


def check_keyboard_move(driver, player):
    """Enter on a row's focused "up" button moves its item, and the focus
    stays on the moved item's button for the next press."""
    files = lambda: [item["file"] for item in player.get("/api/timeline")["items"]]
    before = files()
    last = len(before) - 1
    driver.execute_script("document.querySelector('#row-list .row[data-index=\"%d\"] button[data-action=\"up\"]')"
                          ".focus()" % last)
    for moved in (1, 2):
        ActionChains(driver).send_keys(Keys.ENTER).perform()  # to the focused button, as a keyboard does
        expected = before[:last - moved] + [before[last]] + before[last - moved:last]
        wait_for("the item moved up %d rows" % moved, lambda: files() == expected)
        WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
            "const b = document.activeElement;"
            " return b.dataset.action === 'up' && b.closest('.row').dataset.index === arguments[0]", str(last - moved)))
    print("studio_browser: the keyboard moved %s up two rows" % before[last])


def main():
    parser = argparse.ArgumentParser()
    for name in ("url", "window", "edit", "screenshot", "chromium", "chromedriver"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    player = Player(args.url)
    driver = browser(args)
    try:
        set_width(driver, 1280)
        driver.get(args.url)
        check_rows(driver, player.get("/api/timeline"))
        if "token" in driver.current_url:
            fail("the token stayed in the address: " + driver.current_url)
        # A reload of the page, its address without the token, still works.
        driver.refresh()
        WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
            "return window.vortaneStudio && window.vortaneStudio.connected"))
        check_rows(driver, player.get("/api/timeline"))
        check_seek(driver, player, args.window)
        check_zoom(driver, player)
        if os.environ.get("NO_RELOAD") is None:
            check_reload(driver, args.edit)
        check_transport(driver, player)
        check_keyboard_move(driver, player)
        check_widths(driver)
        set_width(driver, 1280)
        WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
            "return window.vortaneStudio.connected && document.querySelector('#console').childElementCount > 0"))
        driver.save_screenshot(args.screenshot)
        # The player ends while the page is connected; its port closes.
        press_escape(args.window)
        wait_for("the port to close", player.port_closed)
        WebDriverWait(driver, DEADLINE).until(lambda d: not d.execute_script("return window.vortaneStudio.connected"))
    finally:
        driver.quit()


if __name__ == "__main__":
    main()
