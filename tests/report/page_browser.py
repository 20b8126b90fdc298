"""What the browser checks of brisk's pages share: a headless Chromium that
reaches nothing outside the page, a page opened and waited for, the document a
page embeds, the pass/fail count, and a screenshot of a whole page."""

import contextlib
import json
import shutil
import tempfile
import time

from selenium import webdriver
from selenium.common.exceptions import NoAlertPresentException
from selenium.webdriver.chrome.service import Service

DATA_OPEN = '<script type="application/json" id="brisk-data">'


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print(f"ok: {what}")
        else:
            self.failed += 1
            print(f"FAIL: {what}" + (f": {detail}" if detail else ""))
        return ok


def embedded_document(html_text):
    """The JSON the page carries, read apart from the page's own script."""
    start = html_text.index(DATA_OPEN) + len(DATA_OPEN)
    end = html_text.index("</script>", start)
    # "<\/" and "\u003c" are JSON escapes: json.loads reads them back.
    return json.loads(html_text[start:end])


def start_browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--proxy-server=127.0.0.1:9", "--no-first-run", "--hide-scrollbars",
                 f"--user-data-dir={profile}", "--window-size=1000,900"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


@contextlib.contextmanager
def browser(name):
    """A browser with a profile of its own, both gone afterwards."""
    profile = tempfile.mkdtemp(prefix=f"brisk-{name}-chromium-")
    driver = start_browser(profile)
    try:
        yield driver
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)


def open_page(checks, driver, page, state_script, timeout=15):
    """Opens a page file and returns what state_script reads from it once the
    page says it has drawn itself (or timeout seconds have passed)."""
    name = page.rsplit("/", 1)[-1]
    driver.get("file://" + page)
    # A text of the document that ran as markup would show itself this way.
    try:
        alert = driver.switch_to.alert
        checks.check(False, f"{name}: no dialog opened", alert.text)
        alert.accept()
    except NoAlertPresentException:
        pass
    deadline = time.time() + timeout
    state = driver.execute_script(state_script)
    while not state["ready"] and time.time() < deadline:
        time.sleep(0.2)
        state = driver.execute_script(state_script)
    return state


def page_width_fits(driver, width):
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": 800, "deviceScaleFactor": 1, "mobile": True})
    time.sleep(0.3)
    fits = driver.execute_script(
        "return document.documentElement.scrollWidth <= document.documentElement.clientWidth")
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
    return fits


def whole_page_shot(driver, shot, width):
    """A screenshot of the whole page at this window width."""
    driver.set_window_size(width, 900)
    time.sleep(0.3)
    height = driver.execute_script("return document.documentElement.scrollHeight")
    driver.set_window_size(width, min(max(height + 140, 600), 8000))
    time.sleep(0.5)
    driver.save_screenshot(shot)
    driver.set_window_size(1000, 900)
