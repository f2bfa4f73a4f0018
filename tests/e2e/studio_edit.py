"""The studio page as an editor (run by studio_edit.sh). Every wait is on
a state of the page, the player or the files, with a deadline."""
import argparse
import json
import os
import re
import sys
import urllib.error
import urllib.request

from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

sys.dont_write_bytecode = True  # no cache files beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from studio_browser import DEADLINE, Player, browser, fail, set_width, wait_for  # noqa: E402

SCRIPT = "data/tunnel_test.vds"
TITLE = "data/layers/title.vtl"
SETTINGS = "data/studio-settings.json"


def read(path):
    with open(path, "rb") as f:
        return f.read()


def text_lines(demo, name):
    return read(os.path.join(demo, name)).decode("latin-1").split("\n")


def item_files(demo):
    """The script's items' files in drawing order."""
    return re.findall(r'VT_RENDER_ITEMS_FILE "([^"]*)"', read(os.path.join(demo, SCRIPT)).decode("latin-1"))


def item_index(player, name):
    return next(i["index"] for i in player.get("/api/timeline")["items"] if i["file"].endswith(name))


def changed(what, now, before):
    """Waits until now() differs from before; its new value."""
    return wait_for(what, lambda: (lambda value: value if value != before else None)(now()))


def in_view(driver, element):
    driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", element)
    return element


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
    fresh(find, lambda element: ActionChains(driver)
          .move_to_element_with_offset(in_view(driver, element), x_from_centre, 0).click_and_hold().move_by_offset(dx // 2, 0).move_by_offset(dx - dx // 2, 0).release().perform())


def settled(driver):
    return driver.execute_script("return window.vortaneStudio.editing === 0")


def type_into(driver, field_id, text):
    """Types over a field's text and leaves it, as the author does: one
    change event fires (clear() would fire one for the empty field)."""
    field = driver.find_element(By.ID, field_id)
    field.send_keys(Keys.CONTROL, "a")
    field.send_keys(text + Keys.TAB)


def redrawn(player):
    """The state once a frame was drawn after the edit now on disk: edits
    apply before a frame, so that frame shows it."""
    frames = player.get("/api/state")["frames"]
    return wait_for("a frame after the edit", lambda: (lambda s: s if s["frames"] > frames else None)(
        player.get("/api/state")))


def check_lines(driver, player, demo, screenshot):
    """Drag a bar, resize its end, add a line and delete it."""
    item = item_index(player, "roll.vtt")
    (begin, end), = lines_on_disk(demo, item)
    paused = player.get("/api/state")
    ms_per_px = paused["end_ms"] / driver.find_element(By.ID, "ruler-track").size["width"]
    drag(driver, lambda: bar(driver, item, 0), 0, 40)
    moved = wait_for("the moved line on disk", lambda: (lambda l: l if l[0] != (begin, end) else None)(
        lines_on_disk(demo, item)))[0]
    if moved[1] - moved[0] != end - begin or abs(moved[0] - begin - 40 * ms_per_px) > 7 * ms_per_px + 10:
        fail("a 40 px drag made %r of %r (%.1f ms a pixel)" % (moved, (begin, end), ms_per_px))
    shown = player.get("/api/timeline")["items"][item]["lines"][0]
    if (shown["begin"], shown["end"]) != moved:
        fail("the player shows %r, the file says %r" % (shown, moved))
    if redrawn(player)["time_ms"] != paused["time_ms"]:
        fail("the picture after the edit is not at the paused time %r" % paused)
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


def check_keys(driver, player, demo):
    """Open the title's layer lanes, drag a key later, and at once give it
    another colour and alpha in the inspector (the page builds each edit on
    the file the one before wrote): that key's line alone changes."""
    item = item_index(player, "title.vtl")
    before = text_lines(demo, TITLE)
    line = next(n for n, text in enumerate(before) if "VT_KEY 1500 " in text)  # layer 0, key 1
    fresh(lambda: driver.find_element(By.CSS_SELECTOR, '#row-list .row[data-index="%d"] .lanes-toggle' % item),
          lambda toggle: toggle.click())
    mark = lambda: driver.find_element(
        By.CSS_SELECTOR, '#row-list .key-mark[data-item="%d"][data-layer="0"][data-key="1"]' % item)
    WebDriverWait(driver, DEADLINE).until(lambda d: mark())
    drag(driver, mark, 0, 30)
    driver.execute_script("arguments[0].value = '#ff8000'; arguments[0].dispatchEvent(new Event('change'))",
                          driver.find_element(By.ID, "key-colour"))
    type_into(driver, "key-a", "128")
    wait_for("the three key edits", lambda: settled(driver) and text_lines(demo, TITLE)[line].endswith(" 128"))
    after = text_lines(demo, TITLE)
    time = int(after[line].split()[1])
    expected = before[line].replace("VT_KEY 1500 ", "VT_KEY %d " % time).replace(" 255 255 255 255", " 255 128 0 128")
    if after != before[:line] + [expected] + before[line + 1:] or time <= 1500:
        fail("a 30 px key drag, colour and alpha made %r of %r" % (after[line], before[line]))
    print("studio_edit: a key dragged from 1500 to %d ms, coloured and faded: %s" % (time, after[line].strip()))
    return 3


def check_items(driver, player, demo):
    """Add an item of a kind and a file the player lists, then draw it one
    earlier: the script's channels follow."""
    files = item_files(demo)
    Select(driver.find_element(By.ID, "item-kind")).select_by_value("vt_MESH")
    listed = player.get("/api/files?type=vt_MESH")["files"]
    WebDriverWait(driver, DEADLINE).until(lambda d: listed and d.execute_script(
        "return Array.from(document.querySelectorAll('#item-files option'), o => o.value)") == listed)
    type_into(driver, "item-file", listed[0])
    driver.find_element(By.ID, "item-add").click()
    wait_for("the added item", lambda: item_files(demo) == files + [listed[0]])
    WebDriverWait(driver, DEADLINE).until(settled)
    # The row's buttons show while the pointer is over it.
    fresh(lambda: driver.find_element(By.CSS_SELECTOR, '#row-list .row[data-index="%d"] .label' % len(files)),
          lambda label: ActionChains(driver).move_to_element(in_view(driver, label))
          .click(label.find_element(By.CSS_SELECTOR, 'button[data-action="up"]')).perform())
    wait_for("the item drawn earlier", lambda: item_files(demo) == files[:-1] + [listed[0], files[-1]])
    print("studio_edit: added %s and drew it before %s" % (listed[0], files[-1]))
    return 2


def check_settings(driver, demo):
    """The beat grid's tempo and offset go to the page's settings file."""
    script = read(os.path.join(demo, SCRIPT))
    type_into(driver, "tempo", "120")
    type_into(driver, "offset", "250")
    path = os.path.join(demo, SETTINGS)
    wait_for("the settings file", lambda: os.path.exists(path) and json.loads(read(path)) == {"tempo": 120,
                                                                                               "offset": 250})
    if read(os.path.join(demo, SCRIPT)) != script:
        fail("the settings reached the script")


def page_version(driver):
    return driver.execute_script("return window.vortaneStudio.timeline.script.version")


def player_version(player):
    return player.get("/api/timeline")["script"]["version"]


def check_conflict(driver, player, demo):
    """An edit made on a script that changed behind the page's back: 409, the
    page reads the timeline again and the other program's change stays. The
    page hears of such changes through its event stream; blocked here, its
    edit names the old version, as when the author is quicker than the news."""
    driver.execute_cdp_cmd("Network.enable", {})
    driver.execute_cdp_cmd("Network.setBlockedURLs", {"urls": ["*/api/events*"]})
    driver.refresh()
    WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script("return window.vortaneStudio.timeline !== null"))
    seen = page_version(driver)
    path = os.path.join(demo, SCRIPT)
    ours = read(path)
    theirs = ours + b"# saved in a text editor\n"
    with open(path, "wb") as f:
        f.write(theirs)
    outside = changed("the player reading the change", lambda: player_version(player), seen)
    item = item_index(player, "roll.vtt")
    fresh(lambda: bar(driver, item, 0), lambda element: in_view(driver, element).click())
    ActionChains(driver).send_keys(Keys.ARROW_RIGHT).perform()
    WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
        "return Array.from(document.querySelectorAll('#console li.warning'))"
        ".some(li => li.textContent.includes('changed on disk'))"))
    wait_for("the timeline read again", lambda: page_version(driver) == outside)
    if read(path) != theirs:
        fail("the refused edit overwrote the change made behind the page's back")
    with open(path, "wb") as f:
        f.write(ours)  # the author takes it back: the history fits the file again
    changed("the player reading the file taken back", lambda: player_version(player), outside)
    driver.execute_cdp_cmd("Network.setBlockedURLs", {"urls": []})
    driver.refresh()
    WebDriverWait(driver, DEADLINE).until(lambda d: d.execute_script(
        "return window.vortaneStudio.connected && window.vortaneStudio.timeline !== null"))
    print("studio_edit: an edit on a script changed behind the page's back was refused, nothing overwritten")


def player_edits(player):
    """Whether the player has the edit requests (an empty one is a 400)."""
    request = urllib.request.Request(player.base + "/api/edit/line", data=b"{}", method="POST",
                                     headers={"X-Vortane-Token": player.token})
    try:
        urllib.request.urlopen(request, timeout=DEADLINE)
    except urllib.error.HTTPError as error:
        return error.code != 404
    return True


def all_files(demo):
    return [os.path.join(folder, name) for folder, _, names in os.walk(demo) for name in names]


def main():
    parser = argparse.ArgumentParser()
    for name in ("url", "demo", "screenshot", "chromium", "chromedriver"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()
    player = Player(args.url)
    if not player_edits(player):
        print("studio_edit: skipped: this player takes no edits")
        sys.exit(77)
    originals = {path: read(path) for path in all_files(args.demo)}
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
        edits += check_keys(driver, player, args.demo)
        edits += check_items(driver, player, args.demo)
        check_settings(driver, args.demo)
        check_conflict(driver, player, args.demo)
        if player.get("/api/state")["time_ms"] != paused_at:
            fail("an edit moved the paused player")
        for _ in range(edits):
            wait_for("the edits to settle", lambda: settled(driver))
            driver.find_element(By.ID, "undo").click()
        wait_for("the undos", lambda: settled(driver))
        differ = [p for p, data in originals.items() if not os.path.exists(p) or read(p) != data]
        if differ:
            fail("after %d undos these files differ: %r" % (edits, differ))
        # The page's settings are no edit of the demo: no undo takes them back.
        settings = os.path.join(args.demo, SETTINGS)
        if set(all_files(args.demo)) != set(originals) | {settings} or json.loads(read(settings))["tempo"] != 120:
            fail("after the undos the demo holds %r" % sorted(set(all_files(args.demo)) ^ set(originals)))
        print("studio_edit: %d edits undone, every file as it was, the settings kept" % edits)
    finally:
        driver.quit()


if __name__ == "__main__":
    main()
