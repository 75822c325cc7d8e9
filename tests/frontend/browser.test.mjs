// The default front end in headless Chromium, served by the real host headless, on real data.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import {
    Host, imageCopy, launchBrowser, openPage, sourceImage, tempFolder, waitFor,
} from './support.mjs';

const frontEnd = path.join(sourceImage, 'applications/desktop/frontend');

// A development server of the front end's files on its own origin.
function startDevServer() {
    const server = http.createServer((request, reply) => {
        const name = new URL(request.url, 'http://x').pathname;
        if (name === '/') {
            reply.writeHead(200, { 'Content-Type': 'text/html' }).end('<!doctype html><title>dev</title>');
            return;
        }
        fs.readFile(path.join(frontEnd, path.normalize(name)), (error, data) => {
            if (error) reply.writeHead(404).end();
            else reply.writeHead(200, { 'Content-Type': 'text/javascript' }).end(data);
        });
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

describe('the default front end in a browser', () => {
    let folder;
    let host;
    let browser;
    let devServer;
    let devOrigin;

    before(async () => {
        folder = fs.mkdtempSync(path.join(os.tmpdir(), 'taviro-frontend-'));
        fs.mkdirSync(path.join(folder, 'config'));
        fs.writeFileSync(path.join(folder, 'config', 'settings.ini'), '[taviro]\n');
        devServer = await startDevServer();
        devOrigin = `http://127.0.0.1:${devServer.address().port}`;
        host = await new Host([`--folder:${sourceImage}`, '-app:taviro', '--noUI',
            `--allowOrigin:${devOrigin}`], { XDG_CONFIG_HOME: path.join(folder, 'config') }).serving();
        browser = await launchBrowser();
    });

    after(async () => {
        await browser?.close();
        assert.equal(await host?.stop(), 0, host?.output);
        devServer?.close();
        fs.rmSync(folder, { recursive: true, force: true });
    });

    const open = (t, panel, options) => openPage(t, browser, `${host.url}/index.html#${panel}`, options);
    const texts = (locator) => locator.evaluateAll((nodes) => nodes.map((node) => node.textContent.trim()));

    test('the client module resolves to the result and rejects with the error body', async (t) => {
        const page = await open(t, 'printers');
        const outcome = await page.evaluate(async () => {
            const { call, inWindow } = await import('/taviro.js');
            const settle = (service, request, body) => call(service, request, body)
                .then((result) => ({ result }), (error) => ({ error }));
            return {
                inWindow,
                printers: await settle('printManager', 'enum'),
                info: await settle('fileManager', 'info'),
                refusals: [
                    await settle('fileManager', 'write', { data: 'x' }),
                    await settle('fileManager', 'nothing', {}),
                    await settle('noSuchService', 'info', {}),
                    await settle('fileManager', 'directory', { folder: '/', filter: { nameFilter: '(' } }),
                ].map(({ error }) => [error.status, error.code, error.param]),
            };
        });
        assert.equal(outcome.inWindow, false);
        assert.deepEqual(outcome.printers, { result: [] });
        assert.equal(outcome.info.result.name, os.hostname());
        assert.deepEqual(outcome.refusals, [
            [400, 'INVALID_SERVICE_PARAMETER', 'path'],
            [501, 'NOT_IMPLEMENTED', undefined],
            [404, 'SERVICE_NOT_FOUND', undefined],
            [500, 'HTTP_500', undefined],
        ]);
    });

    test('the embedded application loads whole from the start URL the host prints', async (t) => {
        const embedded = new Host(['-app:taviro', '--noUI']);
        t.after(() => embedded.stop());
        await embedded.serving();
        const start = /main::headless::(\S+)/.exec(embedded.output)[1];
        // The page has loaded with its style sheet: relative URLs resolve under the start URL.
        const page = await openPage(t, browser, start);
        assert.equal(await page.evaluate(() => getComputedStyle(document.body).display), 'grid',
            `the style sheet of ${start}`);
        await page.locator('#files h2').waitFor();
    });

    test('a page of a development server reaches the host named with useHost', async (t) => {
        const page = await openPage(t, browser, `${devOrigin}/`);
        const outcome = await page.evaluate(async (hostUrl) => {
            const { call, onConnection, onEvent, useHost } = await import('/taviro.js');
            useHost(hostUrl);
            onEvent(() => {});
            const opened = await new Promise((resolve) => onConnection((state) => {
                if (state === 'open') resolve(true);
            }));
            return { opened, printers: await call('printManager', 'enum') };
        }, host.url);
        assert.deepEqual(outcome, { opened: true, printers: [] });
    });

    test('the shell switches panels, keeps the theme and tells where it runs', async (t) => {
        const page = await open(t, 'files');
        await page.getByText('Native menus need the taviro window.').waitFor();
        for (const [id, title] of [['database', 'Database'], ['fonts', 'Fonts'],
            ['printers', 'Printers'], ['events', 'Events'], ['files', 'Files']]) {
            await page.locator(`.tabs a[data-panel="${id}"]`).click();
            await page.locator(`#${id} h2`).waitFor();
            assert.deepEqual(await page.locator('.panel:not([hidden])').evaluateAll(
                (nodes) => nodes.map((node) => node.id)), [id]);
            assert.equal(await page.title(), `${title} · taviro`);
        }

        const background = () => page.evaluate(() => getComputedStyle(document.documentElement)
            .backgroundColor);
        assert.equal(await background(), 'rgb(245, 246, 248)');
        await page.getByRole('button', { name: 'Dark theme' }).click();
        assert.equal(await background(), 'rgb(15, 17, 21)');
        await page.reload();
        assert.equal(await page.locator('html').getAttribute('data-theme'), 'dark');
        assert.equal(await page.locator('#theme').getAttribute('aria-pressed'), 'true');

        await page.getByRole('button', { name: 'About' }).click();
        const version = await (await fetch(`${host.url}/version`)).text();
        await page.locator('#about-version').getByText(`Host version ${version}`).waitFor();
        await page.locator('#about-dialog').getByText('Running in a browser').waitFor();
    });

    test('the theme follows the system until the user picks one', async (t) => {
        const page = await open(t, 'files', { colorScheme: 'dark' });
        assert.equal(await page.locator('#theme').getAttribute('aria-pressed'), 'true');
        assert.equal(await page.evaluate(() => getComputedStyle(document.body).color),
            'rgb(230, 232, 238)');
    });

    test('on a narrow screen nothing spills sideways', async (t) => {
        const page = await open(t, 'database', { viewport: { width: 390, height: 800 } });
        for (const id of ['database', 'files', 'fonts']) {
            await page.locator(`.tabs a[data-panel="${id}"]`).click();
            await page.locator(`#${id} h2`).waitFor();
            const spill = await page.evaluate(() => [document.documentElement.scrollWidth,
                document.querySelector('main').scrollWidth - document.querySelector('main').clientWidth]);
            assert.deepEqual(spill, [390, 0], id);
        }
    });

    test('Files shows the machine, its folders, and browses a folder', async (t) => {
        const data = path.join(tempFolder(t), 'data');
        fs.mkdirSync(path.join(data, 'sub'), { recursive: true });
        fs.writeFileSync(path.join(data, 'notes.txt'), 'n'.repeat(1536));
        fs.writeFileSync(path.join(data, 'photo.png'), Buffer.alloc(2.5 * 1024 * 1024));
        fs.writeFileSync(path.join(data, 'sub', 'inner.txt'), 'inner');
        const modified = new Date(2021, 2, 4, 5, 6);
        fs.utimesSync(path.join(data, 'notes.txt'), modified, modified);

        const page = await open(t, 'files');
        await page.locator('.machine-name').getByText(os.hostname(), { exact: true }).waitFor();
        const config = page.locator('.place[data-key="CONFIG"]');
        await config.getByText(path.join(folder, 'config')).waitFor();
        await config.click();
        const names = () => page.locator('.listing tbody tr').evaluateAll(
            (rows) => rows.map((row) => row.dataset.name));
        await waitFor(async () => (await names()).join() === 'settings.ini', 'the config folder');

        await page.getByLabel('Folder', { exact: true }).fill(data);
        await page.getByRole('button', { name: 'Open', exact: true }).click();
        await waitFor(async () => (await names()).join() === 'sub,notes.txt,photo.png', 'the listing');
        assert.deepEqual(await texts(page.locator('.listing tbody td.number')), ['—', '1.5 KB', '2.5 MB']);
        const expectedDate = await page.evaluate((time) => new Intl.DateTimeFormat(undefined,
            { dateStyle: 'medium', timeStyle: 'short' }).format(new Date(time)), modified.getTime());
        assert.equal(await page.locator('tr[data-name="notes.txt"] td').nth(2).textContent(), expectedDate);

        const kind = (name) => page.locator(`input[name="kind"][value="${name}"]`);
        for (const { filter, kinds, shown } of [
            { filter: '.*\\.txt', kinds: ['folder', 'file'], shown: 'notes.txt' },
            { filter: '', kinds: ['folder'], shown: 'sub' },
            { filter: 'p.*', kinds: ['file'], shown: 'photo.png' },
            { filter: '', kinds: ['folder', 'file'], shown: 'sub,notes.txt,photo.png' },
        ]) {
            for (const name of ['folder', 'file']) await kind(name).setChecked(kinds.includes(name));
            await page.getByLabel('Name filter').fill(filter);
            await page.getByRole('button', { name: 'Apply', exact: true }).click();
            await waitFor(async () => (await names()).join() === shown, `${filter} ${kinds}: ${shown}`);
        }

        await page.getByRole('button', { name: 'sub', exact: true }).click();
        await waitFor(async () => (await names()).join() === 'inner.txt', 'the subfolder');
        assert.equal(await page.locator('.crumb[aria-current]').textContent(), 'sub');
        await page.getByRole('button', { name: 'Up', exact: true }).click();
        await waitFor(async () => (await names()).join() === 'sub,notes.txt,photo.png', 'the folder again');

        await page.getByRole('button', { name: 'Computer', exact: true }).click();
        const root = page.locator('.listing tbody tr[data-name="/"] td');
        await root.first().waitFor();
        assert.match((await texts(root)).join('|'), /^\/\|\w+\|[\d.,]+ [KMGTP]?B\|[\d.,]+ [KMGTP]?B\|$/);
    });

    test('Files shows the host refusing a name filter', async (t) => {
        const page = await open(t, 'files');
        await page.getByLabel('Folder', { exact: true }).fill('/');
        await page.getByRole('button', { name: 'Open', exact: true }).click();
        await page.getByLabel('Name filter').fill('(');
        await page.getByRole('button', { name: 'Apply', exact: true }).click();
        await page.locator('.listing .error-code').getByText('HTTP_500').waitFor();
        await page.getByText('An invalid name filter').waitFor();
    });

    test('Database opens a file, runs SQL with bound values and shows rows, figures and errors', async (t) => {
        const dbFile = path.join(tempFolder(t), "it's new.db");
        const page = await open(t, 'database');
        const connect = async (file) => {
            await page.getByLabel('Database file').fill(file);
            await page.getByRole('button', { name: 'Open', exact: true }).click();
        };
        const run = async ({ button, sql, bind }) => {
            await page.getByLabel('SQL', { exact: true }).fill(sql);
            await page.getByLabel('Bound values').fill(bind);
            await page.getByRole('button', { name: button }).click();
        };

        // What the result card shows: an error, or the figures and the rows.
        const shown = () => page.locator('#database .result').evaluate((result) => {
            const error = result.querySelector('.error');
            if (error) {
                return { error: [error.querySelector('.error-code').textContent,
                    error.querySelector('.error-text').textContent] };
            }
            return {
                figures: Object.fromEntries([...result.querySelectorAll('.figure')].map((node) => [
                    node.querySelector('.figure-label').textContent,
                    node.querySelector('.figure-value').textContent])),
                rows: [...result.querySelectorAll('table tr')].map(
                    (row) => [...row.cells].map((cell) => cell.textContent)),
            };
        });
        const answers = (now, step) => (step.error
            ? now.error?.[0] === step.error[0] && step.error[1].test(now.error[1])
            : !now.error && Object.entries(step.figures).every(([label, value]) => now.figures[label] === value)
                && (!step.rows || JSON.stringify(now.rows) === JSON.stringify(step.rows)));

        await connect(dbFile);
        await page.getByText('Connected to').waitFor();
        for (const step of [
            { button: 'Execute', sql: 'create table people (id integer primary key, name text, born integer)',
                bind: '[]', figures: { 'affected rows': '0' } },
            { button: 'Execute', sql: 'insert into people (name, born) values (?, ?)', bind: '["Ada", 1815]',
                figures: { 'affected rows': '1', 'last insert id': '1' } },
            { button: 'Execute', sql: 'insert into people (name, born) values (?, ?)', bind: '["Grace", 1906]',
                figures: { 'affected rows': '1', 'last insert id': '2' } },
            { button: 'Execute', sql: 'insert into people (name) values (?)', bind: '[null]',
                figures: { 'affected rows': '1', 'last insert id': '3' } },
            { button: 'Run query', sql: 'select name, born from people where born > ? order by born',
                bind: '[1800]', figures: { rows: '2' }, rows: [['name', 'born'], ['Ada', '1815'], ['Grace', '1906']] },
            { button: 'Run query', sql: 'select born from people where name is null', bind: '[]',
                figures: { row: '1' }, rows: [['born'], ['NULL']] },
            { button: 'Run query', sql: 'select name from people where born > ?', bind: '[2000]',
                figures: { rows: '0' }, rows: [] },
            { button: 'Run query', sql: 'selec name from people', bind: '[]',
                error: ['DB_ERROR', /syntax error/] },
            { button: 'Execute', sql: 'insert into nowhere values (1)', bind: '[]',
                error: ['DB_ERROR', /no such table: nowhere/] },
            { button: 'Run query', sql: 'select ?', bind: '{"a": 1}',
                error: ['INVALID_BIND_VALUES', /JSON array/] },
        ]) {
            await run(step);
            // Consecutive steps answer differently, so the expected answer shows this step ran.
            let last;
            await waitFor(async () => answers(last = await shown(), step), () => `${step.sql}: ${JSON.stringify(last)}`);
        }

        await page.getByRole('button', { name: 'Disconnect' }).click();
        await page.getByText('Not connected.').waitFor();
        assert.equal(await page.getByRole('button', { name: 'Run query' }).isDisabled(), true);
        assert.ok(fs.statSync(dbFile).size > 0);
        // What was written is in the file: a new connection reads it back.
        await connect(dbFile);
        await run({ button: 'Run query', sql: 'select count(*) as n from people', bind: '[]' });
        await page.locator('.output td').getByText('3', { exact: true }).waitFor();

        await page.getByRole('button', { name: 'Disconnect' }).click();
        await connect(path.join(path.dirname(dbFile), 'missing', 'x.db'));
        await page.locator('.output .error-code').getByText('DB_ERROR').waitFor();
        assert.match(await page.locator('.output .error-text').textContent(), /unable to open database file/);
        await page.getByText('Not connected.').waitFor();
    });

    test('Fonts shows every installed face in itself, searchable', async (t) => {
        const reply = await fetch(`${host.url}/appService/enumFonts`, { method: 'PATCH', body: '{}' });
        const faces = (await reply.json()).enumFonts;
        assert.ok(faces.some((face) => face.family === 'DejaVu Sans'), 'DejaVu is installed');
        const page = await open(t, 'fonts');
        const status = page.locator('#fonts .status');
        await status.getByText(`${faces.length} of ${faces.length} faces`).waitFor();

        // Width classes 1 to 9 as CSS computes font-stretch.
        const stretch = [50, 62.5, 75, 87.5, 100, 112.5, 125, 150, 200];
        const drawn = await page.locator('.font').evaluateAll((items) => items.map((item) => {
            const style = getComputedStyle(item.querySelector('.font-sample'));
            return { ...item.dataset, style: [style.fontFamily, style.fontWeight, style.fontStretch,
                style.fontStyle] };
        }));
        const signature = (face) => [face.family, face.weight, face.width, face.options].join('|');
        assert.deepEqual(drawn.map(signature).sort(),
            faces.map((face) => signature({ ...face, options: face.options.join(' ') })).sort());
        for (const face of drawn) {
            const options = face.options.split(' ');
            const slant = options.includes('italic') ? 'italic'
                : options.includes('oblique') ? 'oblique' : 'normal';
            // Names that need no quotes are given without them.
            face.style[0] = face.style[0].replace(/^"(.*)"$/, '$1');
            assert.deepEqual(face.style, [face.family, face.weight,
                `${stretch[face.width - 1]}%`, slant], signature(face));
        }

        await page.getByLabel('Search the fonts').fill('mono');
        const monospaced = faces.filter((face) => [face.family, face.style, face.postscriptName,
            ...face.options].join(' ').toLowerCase().includes('mono'));
        assert.ok(monospaced.length > 0);
        await status.getByText(`${monospaced.length} of ${faces.length} faces`).waitFor();
        assert.equal(await page.locator('.font').count(), monospaced.length);
    });

    test('Printers says plainly that there are none', async (t) => {
        const page = await open(t, 'printers');
        await page.getByText('No printers.').waitFor();
        await page.getByText('no printing system on this platform').waitFor();
    });

    test('Events shows the channel and reconnects when the host comes back', async (t) => {
        const folderOfTest = tempFolder(t);
        const first = await Host.headless(imageCopy(folderOfTest, 0)).serving();
        const page = await openPage(t, browser, `${first.url}/index.html#events`);
        const state = () => page.locator('#events .badge').getAttribute('data-state');
        await waitFor(async () => (await state()) === 'open', 'the socket to open');
        assert.equal(await first.stop(), 0, first.output);
        await waitFor(async () => (await state()) !== 'open', 'the page to see the socket drop');
        await page.locator('#events .badge').getByText(/retrying|Connecting/).waitFor();

        const second = await Host.headless(imageCopy(folderOfTest, first.port)).serving();
        t.after(() => second.stop());
        assert.equal(second.port, first.port, 'the second host took the same port');
        await waitFor(async () => (await state()) === 'open', 'the socket to reopen');
        assert.equal(await page.locator('#events .badge').textContent(), 'Connected');
    });
});
