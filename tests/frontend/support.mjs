// The real taviro executable, headless Chromium and waiting with deadlines, for the tests of the
// default front end.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const taviro = process.env.TAVIRO_EXE;
export const sourceImage = process.env.TAVIRO_IMAGE;

// Polls `probe` until it answers something truthy; fails with `what` (a text, or a function
// that describes the last state) after the deadline.
export async function waitFor(probe, what, timeout = 20000) {
    const deadline = Date.now() + timeout;
    for (;;) {
        const value = await probe();
        if (value) return value;
        if (Date.now() > deadline) {
            throw new Error(`timed out waiting for ${typeof what === 'function' ? what() : what}`);
        }
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
}

export function tempFolder(t) {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'taviro-frontend-'));
    t.after(() => fs.rmSync(folder, { recursive: true, force: true }));
    return folder;
}

// A copy of the image whose default application listens on `port` (0: any free port).
export function imageCopy(folder, port) {
    const image = path.join(folder, `image-${port}`);
    fs.cpSync(sourceImage, image, { recursive: true });
    const catalogue = path.join(image, 'applications.json');
    const applications = JSON.parse(fs.readFileSync(catalogue, 'utf8'));
    applications.find((application) => application.id === 'taviro').serverPort = port;
    fs.writeFileSync(catalogue, JSON.stringify(applications));
    return image;
}

// A running host; `exited` resolves to its exit code.
export class Host {
    constructor(args, environment = {}) {
        this.output = '';
        // No display unless the test gives one, so no window or dialog waits for a user.
        this.process = spawn(taviro, args, {
            env: { ...process.env, DISPLAY: '', WAYLAND_DISPLAY: '', ...environment },
            stdio: ['ignore', 'pipe', 'pipe'],
        });
        this.process.stdout.on('data', (chunk) => { this.output += chunk; });
        this.process.stderr.on('data', (chunk) => { this.output += chunk; });
        this.exited = new Promise((resolve) => this.process.on('exit', (code, signal) => resolve(code ?? signal)));
    }

    // Serves the default application headless from `image`.
    static headless(image, environment) {
        return new Host([`--folder:${image}`, '-app:taviro', '--noUI'], environment);
    }

    // Waits for the start line and reads the port in use from it.
    async serving() {
        const match = await waitFor(
            () => /main::headless::http:\/\/127\.0\.0\.1:(\d+)\//.exec(this.output),
            `the host to serve:\n${this.output}`);
        this.port = Number(match[1]);
        this.url = `http://127.0.0.1:${this.port}`;
        return this;
    }

    count(text) {
        return this.output.split(text).length - 1;
    }

    async stop() {
        if (this.process.exitCode === null) this.process.kill('SIGTERM');
        return this.exited;
    }
}

// Headless Debian Chromium with a profile of its own for this run.
export function launchBrowser() {
    return chromium.launch({
        executablePath: '/usr/bin/chromium',
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
}

// A page whose script errors fail the test.
export async function openPage(t, browser, url, options = {}) {
    const context = await browser.newContext(options);
    context.setDefaultTimeout(20000);
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    t.after(async () => {
        await context.close();
        if (errors.length) throw new Error(`script errors in the page: ${errors.join('; ')}`);
    });
    await page.goto(url);
    return page;
}
