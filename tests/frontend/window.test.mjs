// The default front end in the host's own window under Xvfb: its native menu bar, and menu
// items that do what they say. Screenshots tell what the window shows; a browser page on the
// same host sees the menu's events.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import zlib from 'node:zlib';
import { Host, launchBrowser, openPage, sourceImage, tempFolder, waitFor } from './support.mjs';

// Rows above this are the native menu bar; below is the page.
const pageTop = 40;

// The pixels of an 8-bit, non-interlaced RGB or RGBA PNG such as xhelper writes.
function readPng(file) {
    const data = fs.readFileSync(file);
    const idat = [];
    let header;
    for (let at = 8; at < data.length;) {
        const length = data.readUInt32BE(at);
        const type = data.toString('latin1', at + 4, at + 8);
        const body = data.subarray(at + 8, at + 8 + length);
        if (type === 'IHDR') header = body;
        if (type === 'IDAT') idat.push(body);
        at += 12 + length;
    }
    const width = header.readUInt32BE(0);
    const height = header.readUInt32BE(4);
    assert.equal(header[8], 8, 'bit depth');
    assert.equal(header[12], 0, 'interlace');
    const channels = header[9] === 6 ? 4 : 3;
    const raw = zlib.inflateSync(Buffer.concat(idat));
    const stride = width * channels;
    const pixels = Buffer.alloc(height * stride);
    for (let y = 0; y < height; y += 1) {
        const filter = raw[y * (stride + 1)];
        const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        const row = y * stride;
        for (let x = 0; x < stride; x += 1) {
            const a = x >= channels ? pixels[row + x - channels] : 0;
            const b = y > 0 ? pixels[row - stride + x] : 0;
            const c = x >= channels && y > 0 ? pixels[row - stride + x - channels] : 0;
            const p = a + b - c;
            const paeth = Math.abs(p - a) <= Math.abs(p - b) && Math.abs(p - a) <= Math.abs(p - c) ? a
                : Math.abs(p - b) <= Math.abs(p - c) ? b : c;
            const predictor = [0, a, b, (a + b) >> 1, paeth][filter];
            pixels[row + x] = line[x] + predictor;
        }
    }
    return { width, height, channels, pixels };
}

// Two shots show the same page: the edges of rounded corners may come out a shade apart.
function same(one, other) {
    let apart = 0;
    for (let at = 0; at < one.page.length; at += one.channels) {
        const distance = Math.max(Math.abs(one.page[at] - other.page[at]),
            Math.abs(one.page[at + 1] - other.page[at + 1]), Math.abs(one.page[at + 2] - other.page[at + 2]));
        if (distance > 16) apart += 1;
    }
    return apart < 50;
}

class Display {
    static async start(t) {
        const server = spawn('/usr/bin/Xvfb',
            ['-displayfd', '1', '-screen', '0', '1280x800x24', '-nolisten', 'tcp'],
            { stdio: ['ignore', 'pipe', 'ignore'] });
        t.after(() => server.kill());
        let out = '';
        server.stdout.on('data', (chunk) => { out += chunk; });
        await waitFor(() => out.includes('\n'), 'Xvfb to give its display');
        return new Display(`:${out.trim()}`, tempFolder(t));
    }

    constructor(name, folder) {
        this.name = name;
        this.folder = folder;
    }

    run(executable, args) {
        return execFileSync(executable, args, { env: { ...process.env, DISPLAY: this.name }, encoding: 'utf8' });
    }

    // The page part of the screen, and its mean brightness from 0 to 1.
    shot(keep) {
        const file = path.join(this.folder, 'shot.png');
        this.run(process.env.XHELPER, ['shot', file]);
        if (keep) fs.copyFileSync(file, keep);
        const { width, channels, pixels } = readPng(file);
        const page = pixels.subarray(pageTop * width * channels);
        let light = 0;
        for (let at = 0; at < page.length; at += channels * 7) {
            light += 0.2126 * page[at] + 0.7152 * page[at + 1] + 0.0722 * page[at + 2];
        }
        return {
            channels,
            page,
            brightness: light / 255 / Math.ceil(page.length / (channels * 7)),
            toJSON() { return { brightness: this.brightness }; },
        };
    }

    // A shot once the window has stopped changing.
    async settledShot(keep) {
        let last = this.shot();
        return waitFor(() => {
            const now = this.shot(keep);
            const settled = same(now, last);
            last = now;
            return settled && now;
        }, 'the window to settle');
    }
}

test('the window shows the native menu bar and its items do what they say', async (t) => {
    const x = await Display.start(t);
    const state = tempFolder(t);
    const host = new Host([`--folder:${sourceImage}`, '-app:taviro'], {
        DISPLAY: x.name,
        WEBKIT_DISABLE_DMABUF_RENDERER: '1',
        XDG_CACHE_HOME: path.join(state, 'cache'),
        XDG_DATA_HOME: path.join(state, 'data'),
        XDG_CONFIG_HOME: path.join(state, 'config'),
    });
    t.after(() => host.stop());
    const menuUpdates = () => host.count('HWebBrowser::updateMenu::');
    await waitFor(() => menuUpdates() >= 3, () => `the page to fill its menus:\n${host.output}`, 60000);
    for (const menu of ['fileFile', 'viewView', 'helpHelp']) {
        assert.ok(host.output.includes(`HWebBrowser::createMenu::${menu}`), menu);
    }
    const window = await waitFor(() => x.run('/usr/bin/xdotool',
        ['search', '--onlyvisible', '--name', '^taviroDesktop:[0-9]+$']).split('\n')[0], 'the window');
    const title = x.run('/usr/bin/xdotool', ['getwindowname', window]).trim();
    const port = Number(title.split(':')[1]);

    // The pointer rests on the empty end of the menu bar: no hover on the page, and the keys go
    // to this window.
    const rest = ['mousemove', '--window', window, '900', '12'];
    x.run('/usr/bin/xdotool', rest);
    const artifacts = process.env.TAVIRO_ARTIFACTS;
    fs.mkdirSync(artifacts, { recursive: true });
    const files = await x.settledShot(path.join(artifacts, 'frontend-window.png'));
    assert.ok(files.brightness > 0.7, `a light page: ${files.brightness}`);

    const browser = await launchBrowser();
    t.after(() => browser.close());
    const watcher = await openPage(t, browser, `http://127.0.0.1:${port}/index.html#events`);
    await waitFor(async () => (await watcher.locator('#events .badge').getAttribute('data-state')) === 'open',
        'the watching page to connect');

    // F10 opens the first menu; Right moves to the next one, Down to its next item.
    const viewItem = (downs) => ['Right', ...Array(downs).fill('Down')];
    for (const { item, keys, id, shows } of [
        { item: 'View › Fonts', keys: viewItem(3), id: 'view.fonts', shows: (shot) => !same(shot, files) },
        { item: 'View › Files', keys: viewItem(1), id: 'view.files', shows: (shot) => same(shot, files) },
        { item: 'View › Dark theme', keys: viewItem(6), id: 'view.dark', shows: (shot) => shot.brightness < 0.3 },
        { item: 'View › Dark theme', keys: viewItem(6), id: 'view.dark', shows: (shot) => same(shot, files) },
    ]) {
        const updates = menuUpdates();
        const events = await watcher.locator('.event').count();
        x.run('/usr/bin/xdotool', [...rest, 'key', 'F10', ...keys, 'Return']);
        await waitFor(async () => (await watcher.locator('.event').count()) > events, `the event of ${item}`);
        assert.equal(await watcher.locator('.event code').first().textContent(), JSON.stringify({ id }));
        // The page in the window acted: it moved the check marks of its View menu ...
        await waitFor(() => menuUpdates() > updates, `the View menu to follow ${item}`);
        // ... and shows what was chosen.
        let last;
        await waitFor(() => shows(last = x.shot()), () => `the window after ${item}: ${JSON.stringify(last)}`);
    }

    x.run('/usr/bin/xdotool', [...rest, 'key', 'F10', 'Down', 'Return']);
    assert.equal(await host.exited, 0, host.output);
});
