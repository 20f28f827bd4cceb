"""End-to-end test of the sample app in the real shell, driven by Selenium through WebKitGTK's
WebDriver (WebKitWebDriver). Copy it for your own project.

Run it with a display (or under xvfb-run), Debian's python3-selenium and webkit2gtk-driver:

    QVEXDESK=/usr/bin/qvexdesk python3 -m unittest -v test_sample_app
"""

import os
import socket
import subprocess
import time
import unittest

from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait
from selenium.webdriver.webkitgtk.options import Options

PROJECT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
SHELL = os.environ.get("QVEXDESK", "qvexdesk")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class SampleAppTest(unittest.TestCase):
    def setUp(self):
        # WebKitWebDriver starts the shell with its own environment: the project goes there.
        port = free_port()
        self.webdriver_process = subprocess.Popen(
            ["WebKitWebDriver", "--port=%d" % port],
            env=dict(os.environ, QVEX_PROJPATH=PROJECT))
        self.addCleanup(self.webdriver_process.wait, 10)
        self.addCleanup(self.webdriver_process.terminate)
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port), 0.2).close()
                break
            except OSError:
                time.sleep(0.1)

        options = Options()
        options.binary_location = SHELL
        options.add_argument("--automation")
        options.set_capability("browserName", "qvexdesk")
        self.driver = webdriver.Remote("http://127.0.0.1:%d" % port, options=options)
        self.addCleanup(self.driver.quit)
        self.wait = WebDriverWait(self.driver, 10)
        # The page loads once the project's backend answers (the shell starts it).
        self.wait.until(lambda d: d.find_elements(By.ID, "field"))

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).text

    def test_the_backend_serves_the_page_and_its_api(self):
        # The shell started the project's backend; the page asked its API.
        self.wait.until(lambda d: self.text("visits").isdigit())
        self.assertTrue(self.driver.current_url.startswith("http://127.0.0.1:"))

    def test_the_page_has_the_bridge(self):
        self.wait.until(lambda d: self.text("registration") == "11")
        self.assertEqual(self.text("path"), PROJECT)
        self.assertRegex(self.text("started"), r"^\d{4}-\d\d-\d\dT")  # first.js ran first.
        self.assertEqual(self.driver.execute_script("return typeof qvex_nt_api.unload"),
                         "function")

    def test_copy_button_copies(self):
        field = self.driver.find_element(By.ID, "field")
        field.clear()
        field.send_keys("hello from the test")
        self.driver.find_element(By.ID, "copy").click()
        self.wait.until(lambda d: "copied to the clipboard" in self.text("log"))

    def test_query_button_sends_a_query(self):
        self.driver.find_element(By.ID, "query").click()
        self.wait.until(lambda d: "sent" in self.text("log"))
        self.assertIn("query 1 sent", self.text("log"))


if __name__ == "__main__":
    unittest.main()
