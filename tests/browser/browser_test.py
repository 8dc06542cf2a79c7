"""The signing server seen from a real browser: Debian's Chromium, headless,
driven by chromedriver, with the server's certificate trusted through an NSS
database in a temporary HOME. Pages are served from loopback ports: the demo
bank page on an allowed origin, and a foreign page on one that is not."""

import base64
import functools
import http.server
import os
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PROGRAM = os.environ["TAVRIK_PROGRAM"]
DEMO = os.environ["TAVRIK_DEMO"]
COMPONENTS = os.environ["TAVRIK_COMPONENTS"]
ENGINE = os.environ["TAVRIK_ENGINE"]
SCREENSHOTS = os.environ.get("TAVRIK_SCREENSHOTS")
SERVER = "https://localhost:7887/"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder, port):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class BrowserTest(unittest.TestCase):
    """One program, one demo server and one foreign server for all cases."""

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="tavrik-browser-")
        cls.home = os.path.join(cls.root, "home")
        config = os.path.join(cls.root, "config", "Tavrik_Server_Crypt")
        cls.tmp = os.path.join(cls.root, "tmp")
        for folder in (cls.home, config, cls.tmp):
            os.makedirs(folder, mode=0o700)
        cls.demo_port, cls.foreign_port = free_port(), free_port()
        cls.demo_origin = "http://127.0.0.1:%d" % cls.demo_port
        cls.foreign_origin = "http://127.0.0.1:%d" % cls.foreign_port
        subprocess.run(
            ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
             "-subj", "/CN=localhost",
             "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1",
             "-addext", "basicConstraints=critical,CA:FALSE",
             "-keyout", os.path.join(config, "server.key"),
             "-out", os.path.join(config, "server.crt")],
            check=True, capture_output=True)
        nssdb = os.path.join(cls.home, ".pki", "nssdb")
        os.makedirs(nssdb)
        subprocess.run(["certutil", "-d", "sql:" + nssdb, "-N", "--empty-password"], check=True)
        subprocess.run(["certutil", "-d", "sql:" + nssdb, "-A", "-t", "P,,", "-n", "tavrik",
                        "-i", os.path.join(config, "server.crt")], check=True)
        with open(os.path.join(config, "Ferrox_Tavrik_Server_Crypt.ini"), "w") as settings:
            settings.write("[Tavrik_Server_Crypt Settings]\ndefaultProvider=Зорвик2\n"
                           "allowedOrigins=%s\n" % cls.demo_origin)
        cls.foreign_folder = os.path.join(cls.root, "foreign")
        os.makedirs(cls.foreign_folder)
        # The demo tokens, and the token dialog answered by the test hook from
        # an owner-only file, as a user would type the demo password.
        cls.answer = os.path.join(cls.root, "answer")
        with open(os.open(cls.answer, os.O_WRONLY | os.O_CREAT, 0o600), "w") as answer:
            answer.write("Demo-Pass1\n")
        cls.env = dict(os.environ, HOME=cls.home, QT_QPA_PLATFORM="offscreen", TMPDIR=cls.tmp,
                       XDG_CONFIG_HOME=os.path.join(cls.root, "config"),
                       XDG_DATA_HOME=os.path.join(cls.root, "data"), XDG_RUNTIME_DIR=cls.root,
                       DBUS_SYSTEM_BUS_ADDRESS="unix:path=/nonexistent/tavrik-test-bus",
                       TAVRIK_TEST_DIALOG_ANSWER=cls.answer)
        subprocess.run([os.path.join(COMPONENTS, "tessel-token"), "--demo"], env=cls.env,
                       check=True, capture_output=True)
        cls.program = subprocess.Popen([PROGRAM], env=cls.env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        cls.servers = [serve(DEMO, cls.demo_port), serve(cls.foreign_folder, cls.foreign_port)]
        deadline = time.time() + 20
        while time.time() < deadline and "checkLs" not in cls.log():
            subprocess.run(["curl", "-sk", "--max-time", "1", SERVER + "?action=checkLs"],
                           capture_output=True)
            time.sleep(0.1)

    @classmethod
    def tearDownClass(cls):
        cls.program.terminate()
        cls.program.wait(10)
        for server in cls.servers:
            server.shutdown()
        shutil.rmtree(cls.root, ignore_errors=True)

    @classmethod
    def log(cls):
        path = os.path.join(cls.tmp, "Tavrik_Server_Crypt-%d" % os.getuid(),
                            "Tavrik_Server_Crypt_Z.log")
        try:
            with open(path, encoding="utf-8") as log:
                return log.read()
        except FileNotFoundError:
            return ""

    def browser(self, *extra):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                         "--no-first-run", "--disable-background-networking",
                         "--disable-component-update", "--disable-sync",
                         "--user-data-dir=" + tempfile.mkdtemp(dir=self.root)) + extra:
            options.add_argument(argument)
        driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver", env=self.env),
                                  options=options)
        self.addCleanup(driver.quit)
        return driver

    def foreign_page(self, name, body):
        with open(os.path.join(self.foreign_folder, name), "w") as page:
            page.write("<!doctype html><html><body><p id='out'>pending</p>%s</body></html>" % body)

    def wait_for_text(self, driver, element_id, predicate, seconds=15):
        element = driver.find_element(By.ID, element_id)
        WebDriverWait(driver, seconds).until(lambda _: predicate(element.text))
        return element.text

    def wait_for_log(self, text, seconds=10):
        deadline = time.time() + seconds
        while time.time() < deadline and text not in self.log():
            time.sleep(0.1)
        return text in self.log()

    def test_demo_page_sees_the_server(self):
        driver = self.browser()
        driver.get(self.demo_origin + "/")
        self.assertEqual(self.wait_for_text(driver, "server-state", lambda t: "…" not in t),
                         "работает")
        self.assertEqual(driver.find_element(By.ID, "server-version").text, "2.3.0")

    def test_demo_page_signs_with_the_demo_token(self):
        driver = self.browser("--window-size=900,1100")
        driver.get(self.demo_origin + "/")
        self.wait_for_text(driver, "server-state", lambda t: "…" not in t)
        text = driver.find_element(By.ID, "document").get_attribute("value")
        driver.find_element(By.ID, "sign").click()
        self.assertEqual(self.wait_for_text(driver, "result", lambda t: "…" not in t and t),
                         "Документ подписан.")
        self.assertEqual(driver.find_element(By.ID, "token-id").text, "Zorvik")
        signature = driver.find_element(By.ID, "signature").get_attribute("value")
        # The token dialog was shown once, for the demo page, and answered.
        self.assertTrue(self.wait_for_log("Zorvik2 login retCode | 0"))
        self.assertIn("Zorvik2 sign retCode | 0", self.log())
        # The signature verifies over the page's text with the stock openssl
        # command, our module and the demo CA.
        folder = tempfile.mkdtemp(dir=self.root)
        content, cms = os.path.join(folder, "document.txt"), os.path.join(folder, "document.p7s")
        with open(content, "w", encoding="utf-8") as out:
            out.write(text)
        with open(cms, "wb") as out:
            out.write(base64.b64decode(signature))
        # A sanitized module needs the sanitizer runtime in the plain command.
        preload = os.environ.get("TAVRIK_ENGINE_PRELOAD")
        openssl_env = dict(os.environ, LD_PRELOAD=preload, ASAN_OPTIONS="detect_leaks=0") \
            if preload else None
        verified = subprocess.run(
            ["openssl", "cms", "-engine", ENGINE, "-verify", "-binary", "-inform", "DER",
             "-in", cms, "-content", content, "-out", os.devnull,
             "-CAfile", os.path.join(self.root, "data", "tessel", "ca", "root.pem")],
            capture_output=True, text=True, env=openssl_env)
        self.assertIn("Verification successful", verified.stderr)
        if SCREENSHOTS:
            os.makedirs(SCREENSHOTS, exist_ok=True)
            driver.save_screenshot(os.path.join(SCREENSHOTS, "demo_page_signed.png"))

    def test_foreign_page_gets_nothing_and_changes_nothing(self):
        self.foreign_page("sign.html", """<script>
          fetch('%s?action=getDocSign', {method: 'POST', body: 'QUJD',
                                         headers: {'Content-Type': 'text/plain'}})
            .then(r => r.text()).then(t => out.textContent = 'answered ' + t)
            .catch(e => out.textContent = 'refused');
        </script>""" % SERVER)
        posts = self.log().count("Post request data reading")
        logins = self.log().count("Zorvik2 login retCode")
        driver = self.browser()
        driver.get(self.foreign_origin + "/sign.html")
        self.assertEqual(self.wait_for_text(driver, "out", lambda t: t != "pending"), "refused")
        self.assertTrue(self.wait_for_log("Request refused | %s | Return message: origin not allowed"
                                          % self.foreign_origin))
        self.assertEqual(self.log().count("Post request data reading"), posts)
        self.assertEqual(self.log().count("Zorvik2 login retCode"), logins)

    def test_image_forget_from_a_foreign_page_is_refused(self):
        self.foreign_page("forget.html", "<img src='%s?action=forget'>" % SERVER)
        driver = self.browser()
        driver.get(self.foreign_origin + "/forget.html")
        self.assertTrue(self.wait_for_log(
            "Request refused | ?action=forget | Return message: browser request without an origin"))
        self.assertNotIn("Get request ok | ?action=forget", self.log())

    def test_preflight_is_answered_only_for_allowed_origins(self):
        # The "option" header makes the request need a preflight; the empty
        # body gets "data missing" without reaching a token.
        script = """<script>
          fetch('%s?action=getDocSign', {method: 'POST', headers: {'option': '8'}})
            .then(r => r.json()).then(j => out.textContent = j.error || 'ok')
            .catch(e => out.textContent = 'refused');
        </script>""" % SERVER
        self.foreign_page("preflight.html", script)
        driver = self.browser()
        driver.get(self.foreign_origin + "/preflight.html")
        self.assertEqual(self.wait_for_text(driver, "out", lambda t: t != "pending"), "refused")
        self.assertTrue(self.wait_for_log("Request refused | %s" % self.foreign_origin))
        # The same request from the demo page's origin goes through its preflight.
        driver.get(self.demo_origin + "/")
        result = driver.execute_async_script("""
          const done = arguments[arguments.length - 1];
          fetch('%s?action=getDocSign', {method: 'POST', headers: {'option': '8'}})
            .then(r => r.json()).then(j => done(j.error)).catch(e => done('refused'));
        """ % SERVER)
        self.assertEqual(result, "data missing")

    def test_rebinding_host_is_refused(self):
        self.foreign_page("rebind.html", """<script>
          fetch('https://rebind.example:7887/?action=checkLs')
            .then(r => out.textContent = 'answered').catch(e => out.textContent = 'refused');
        </script>""")
        driver = self.browser("--host-resolver-rules=MAP rebind.example 127.0.0.1",
                              "--ignore-certificate-errors")
        driver.get("http://rebind.example:%d/rebind.html" % self.foreign_port)
        self.assertEqual(self.wait_for_text(driver, "out", lambda t: t != "pending"), "refused")
        self.assertTrue(self.wait_for_log(
            "Request refused | rebind.example:7887 | Return message: host is not this computer"))

    def test_a_bank_page_on_the_internet_needs_the_local_network_permission(self):
        # Chromium's local network access: a public page reaches this
        # computer only once the user allows it in the permission prompt
        # (granted here as that prompt would: the "loopback-network" permission).
        public = "--ip-address-space-overrides=127.0.0.1:%d=public" % self.demo_port
        denied = self.browser(public)
        denied.get(self.demo_origin + "/")
        self.assertIn("не отвечает",
                      self.wait_for_text(denied, "server-state", lambda t: "…" not in t))
        allowed = self.browser(public)
        allowed.execute_cdp_cmd("Browser.setPermission", {
            "permission": {"name": "loopback-network"}, "setting": "granted",
            "origin": self.demo_origin})
        allowed.get(self.demo_origin + "/")
        self.assertEqual(self.wait_for_text(allowed, "server-state", lambda t: "…" not in t),
                         "работает")


if __name__ == "__main__":
    unittest.main()
