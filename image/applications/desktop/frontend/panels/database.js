// Database: a SQLite file opened by path, an SQL editor with bound values, and what the
// statements answer (databaseManager connect, query, exec, disconnect).
import { call } from '../taviro.js';
import { errorView, h, show } from '../ui.js';

// A connection string for the SQLite back end; quoting keeps paths with ';' or '=' whole.
function connectionString(path) {
    return `sqlite3:db='${path.replaceAll("'", "''")}'`;
}

function figure(label, value) {
    return h('div', { class: 'figure' }, h('span', { class: 'figure-value' }, String(value)),
        h('span', { class: 'figure-label' }, label));
}

function rowsTable(rows) {
    const columns = Object.keys(rows[0]);
    return h('div', { class: 'scroll' }, h('table', { class: 'table rows' },
        h('thead', {}, h('tr', {}, columns.map((name) => h('th', { scope: 'col' }, name)))),
        h('tbody', {}, rows.map((row) => h('tr', {}, columns.map((name) => (row[name] === null
            ? h('td', { class: 'null' }, 'NULL')
            : h('td', {}, String(row[name])))))))));
}

export const title = 'Database';

export function mount(section) {
    let connection = null;

    const pathInput = h('input', {
        type: 'text', name: 'database', placeholder: '/tmp/example.db', required: true,
        spellcheck: 'false', autocomplete: 'off', 'aria-label': 'Database file',
    });
    const openButton = h('button', { type: 'submit' }, 'Open');
    const closeButton = h('button', { type: 'button', class: 'secondary', disabled: true,
        onclick: disconnect }, 'Disconnect');
    const state = h('p', { class: 'status', role: 'status' },
        'Not connected. A file that does not exist yet is created.');
    const sql = h('textarea', {
        name: 'sql', rows: 6, spellcheck: 'false', 'aria-label': 'SQL',
        placeholder: 'select name from sqlite_master where type = ?',
    });
    const bind = h('input', {
        type: 'text', name: 'bind', value: '[]', spellcheck: 'false', autocomplete: 'off',
        'aria-label': 'Bound values',
    });
    const queryButton = h('button', { type: 'button', disabled: true, onclick: () => run('query') },
        'Run query');
    const execButton = h('button', { type: 'button', class: 'secondary', disabled: true,
        onclick: () => run('exec') }, 'Execute');
    const figures = h('div', { class: 'figures', 'aria-label': 'Figures' });
    const output = h('div', { class: 'output' });

    sql.addEventListener('keydown', (event) => {
        if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
            event.preventDefault();
            if (connection) run('query');
        }
    });

    section.append(
        h('header', { class: 'panel-head' },
            h('h2', {}, 'Database'),
            h('p', { class: 'lead' }, 'Open a SQLite file, run SQL with bound values, read the rows.')),
        h('div', { class: 'card' },
            h('form', { class: 'row', onsubmit: (event) => {
                event.preventDefault();
                connect();
            } },
            h('label', { class: 'grow' }, h('span', {}, 'Database file'), pathInput),
            openButton, closeButton),
            state),
        h('div', { class: 'card' },
            h('label', {}, h('span', {}, 'SQL'), sql),
            h('div', { class: 'row' },
                h('label', { class: 'grow' },
                    h('span', {}, 'Bound values, a JSON array for the ? placeholders'), bind),
                queryButton, execButton),
            h('p', { class: 'hint' }, 'Run query answers rows; Execute answers the affected rows '
                + 'and the last inserted id. Ctrl+Enter runs the query.')),
        h('div', { class: 'card result' }, figures, output));

    function setConnection(next) {
        connection = next;
        for (const button of [queryButton, execButton, closeButton]) button.disabled = !next;
        pathInput.disabled = Boolean(next);
        openButton.disabled = Boolean(next);
    }

    async function connect() {
        const path = pathInput.value.trim();
        if (!path) return;
        state.textContent = 'Opening…';
        try {
            const record = await call('databaseManager', 'connect',
                { connectionString: connectionString(path) });
            setConnection(record);
            show(state, 'Connected to ', h('strong', {}, path), ` (connection ${record.connectionId}).`);
            show(output);
            show(figures);
        } catch (error) {
            state.textContent = 'Not connected.';
            show(output, errorView(error));
        }
    }

    async function disconnect() {
        try {
            await call('databaseManager', 'disconnect', { connectionId: connection.connectionId });
        } catch (error) {
            // The host no longer knows the connection (it restarted): it is closed all the same.
            show(output, errorView(error));
        }
        setConnection(null);
        state.textContent = 'Not connected.';
    }

    async function run(request) {
        let values = null;
        try {
            values = JSON.parse(bind.value || '[]');
        } catch {
            // Not JSON: refused below like any other value that is not an array.
        }
        if (!Array.isArray(values)) {
            show(figures);
            show(output, errorView({ code: 'INVALID_BIND_VALUES',
                description: 'Bound values must be a JSON array, such as [1, "text", null].' }));
            return;
        }
        show(output, h('p', { class: 'status' }, 'Running…'));
        try {
            const answer = await call('databaseManager', request,
                { connectionId: connection.connectionId, sql: sql.value, bind: values });
            if (request === 'query') {
                show(figures, figure(answer.info.rows === 1 ? 'row' : 'rows', answer.info.rows));
                show(output, answer.results.length ? rowsTable(answer.results)
                    : h('p', { class: 'status' }, 'No rows.'));
            } else {
                show(figures, figure('affected rows', answer.info.affectedRows),
                    figure('last insert id', answer.info.lastInsertId));
                show(output, h('p', { class: 'status' }, 'Done.'));
            }
        } catch (error) {
            show(figures);
            show(output, errorView(error));
        }
    }
}
