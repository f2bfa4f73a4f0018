"""The studio page as an editor (run by studio_edit.sh). Every wait is on
a state of the page, the player or the files, with a deadline."""
import argparse
import os
import re
import sys
import urllib.error
import urllib.request

from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

sys.dont_write_bytecode = True  # no cache files beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from studio_browser import DEADLINE, Player, browser, fail, set_width, wait_for  # noqa: E402

SCRIPT = "data/tunnel_test.vds"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def lines_on_disk(demo, item):
    """The render lines of the script's item-th channel, as (begin, end)."""
    text = read(os.path.join(demo, SCRIPT)).decode("latin-1")
    channels = text.split("VT_RENDER_CHANNEL")[1:]
    return [tuple(map(int, m)) for m in re.findall(r"VT_RENDER_TIMES_BEGIN_END\s+(\d+)\s+(\d+)", channels[item])]


def bar(driver, item, line):
    return driver.find_element(By.CSS_SELECTOR, '#row-list .bar[data-item="%d"][data-line="%d"]' % (item, line))


def fresh(find, act):
    """act on what find gives; a row drawn anew meanwhile (a reload's
    timeline) is found again: no pointer event has left then."""
    for attempt in range(5):
        try:
            return act(find())
        except StaleElementReferenceException:
            if attempt == 4:
                raise


def drag(driver, find, x_from_centre, dx):
    fresh(find, lambda element: ActionChains(driver).move_to_element_with_offset(element, x_from_centre, 0)
          .click_and_hold().move_by_offset(dx // 2, 0).move_by_offset(dx - dx // 2, 0).release().perform())


def settled(driver):
    return driver.execute_script("return window.vortaneStudio.editing === 0")


def check_lines(driver, player, demo, screenshot):
    """Drag a bar, resize its end, add a line and delete it."""
    timeline = player.get("/api/timeline")
    item = next(i["index"] for i in timeline["items"] if i["file"].endswith("roll.vtt"))
    (begin, end), = lines_on_disk(demo, item)
    ms_per_px = player.get("/api/state")["end_ms"] / driver.find_element(By.ID, "ruler-track").size["width"]
    drag(driver, lambda: bar(driver, item, 0), 0, 40)
    moved = wait_for("the moved line on disk", lambda: (lambda l: l if l[0] != (begin, end) else None)(
        lines_on_disk(demo, item)))[0]
    if moved[1] - moved[0] != end - begin or abs(moved[0] - begin - 40 * ms_per_px) > 7 * ms_per_px + 10:
        fail("a 40 px drag made %r of %r (%.1f ms a pixel)" % (moved, (begin, end), ms_per_px))
    shown = player.get("/api/timeline")["items"][item]["lines"][0]
    if (shown["begin"], shown["end"]) != moved:
        fail("the player shows %r, the file says %r" % (shown, moved))
    width = fresh(lambda: bar(driver, item, 0), lambda element: element.size["width"])
    drag(driver, lambda: bar(driver, item, 0), width // 2 - 2, -30)
    resized = wait_for("the resized end", lambda: (lambda l: l if l[0][1] != moved[1] else None)(
        lines_on_disk(demo, item)))[0]
    if resized[0] != moved[0] or not resized[1] < moved[1]:
        fail("dragging the end made %r of %r" % (resized, moved))
    WebDriverWait(driver, DEADLINE).until(settled)
    driver.save_screenshot(screenshot)  # the line selected, the inspector showing it
    fresh(lambda: driver.find_element(By.CSS_SELECTOR, '#row-list .row[data-index="%d"] .track' % item),
          lambda row: ActionChains(driver).move_to_element_with_offset(row, -row.size["width"] // 2 + 20, 0)
          .double_click().perform())
    wait_for("the added line", lambda: len(lines_on_disk(demo, item)) == 2)
    WebDriverWait(driver, DEADLINE).until(lambda d: len(d.find_elements(
        By.CSS_SELECTOR, '#row-list .bar[data-item="%d"]' % item)) == 2)
    added = next(n for n, l in enumerate(lines_on_disk(demo, item)) if l != resized)
    fresh(lambda: bar(driver, item, added), lambda element: element.click())
    ActionChains(driver).send_keys(Keys.DELETE).perform()
    wait_for("the deleted line", lambda: lines_on_disk(demo, item) == [resized])
    print("studio_edit: moved %r to %r, resized to %r, added and deleted a line" % ((begin, end), moved, resized))
    return 4


def player_edits(player):
    """Whether the player has the edit requests (an empty one is a 400)."""
    request = urllib.request.Request(player.base + "/api/edit/line", data=b"{}", method="POST",
                                     headers={"X-Vortane-Token": player.token})
    try:
        urllib.request.urlopen(request, timeout=DEADLINE)
    except urllib.error.HTTPError as error:
        return error.code != 404
    return True


def main():
    parser = argparse.ArgumentParser()
    for name in ("url", "demo", "screenshot", "chromium", "chromedriver"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    player = Player(args.url)
    if not player_edits(player):
        print("studio_edit: skipped: this player takes no edits")
        sys.exit(77)
    originals = {}
    for folder, _, files in os.walk(args.demo):
        for name in files:
            originals[os.path.join(folder, name)] = read(os.path.join(folder, name))
    driver = browser(args)
    try:
        set_width(driver, 1280)
        driver.get(args.url)
        WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
            "return window.vortaneStudio.connected && window.vortaneStudio.timeline !== null"))
        driver.find_element(By.ID, "play").click()
        wait_for("the pause", lambda: player.get("/api/state")["paused"])
        paused_at = player.get("/api/state")["time_ms"]
        edits = check_lines(driver, player, args.demo, args.screenshot)
        if player.get("/api/state")["time_ms"] != paused_at:
            fail("an edit moved the paused player")
        for _ in range(edits):
            wait_for("the edits to settle", lambda: settled(driver))
            driver.find_element(By.ID, "undo").click()
        wait_for("the undos", lambda: settled(driver))
        changed = [p for p, data in originals.items() if not os.path.exists(p) or read(p) != data]
        if changed:
            fail("after %d undos these files differ: %r" % (edits, changed))
        print("studio_edit: %d edits undone, every file as it was" % edits)
    finally:
        driver.quit()


if __name__ == "__main__":
    main()
