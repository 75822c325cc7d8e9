// The page side of the taviro host: service calls, host events and the window marker.
// Copy this file into your own front end; it needs nothing else.

// True in the host's window, which sets the marker before any script of the page runs.
export const inWindow = globalThis.hWebBrowser === 'hWebBrowser';

let hostOrigin = '';

// For a page served by a development server: talk to the host at `origin`
// (such as 'http://127.0.0.1:9080'); the host must be started with --allowOrigin:<page origin>.
export function useHost(origin) {
    hostOrigin = String(origin).replace(/\/+$/, '');
    socket?.close();
}

// PATCH /<service>/<request> with `body` as JSON. Resolves to the result (the member of the reply
// named after the request); rejects with the host's error body, which always has "status",
// "code" and "description".
export async function call(service, request, body = {}) {
    let reply;
    try {
        reply = await fetch(`${hostOrigin}/${service}/${request}`, {
            method: 'PATCH',
            headers: { 'Content-Type': 'application/json' },
            body: JSON.stringify(body),
        });
    } catch (error) {
        throw { id: request, status: 0, code: 'HOST_UNREACHABLE', description: error.message };
    }
    const text = await reply.text();
    let data = null;
    try {
        data = JSON.parse(text);
    } catch {
        // Some refusals have an empty body; they are described from the status below.
    }
    if (reply.ok && data !== null && typeof data === 'object' && request in data) {
        return data[request];
    }
    if (data !== null && typeof data === 'object' && 'code' in data) {
        throw data;
    }
    throw {
        id: request,
        status: reply.status,
        code: `HTTP_${reply.status}`,
        description: reply.statusText || text || 'The host gave no reason.',
    };
}

// Host events come over one shared websocket, opened while someone listens and reopened with a
// growing delay when it drops (the host restarted, the machine slept).
const listeners = new Set();
const watchers = new Set();
let socket = null;
let state = 'closed';
let retryTimer = 0;
let retryDelay = 500;

function setState(next) {
    state = next;
    for (const watcher of watchers) watcher(state);
}

function open() {
    clearTimeout(retryTimer);
    retryTimer = 0;
    const base = hostOrigin || location.origin;
    const current = new WebSocket(`${base.replace(/^http/, 'ws')}/ws`);
    socket = current;
    setState('connecting');
    current.onopen = () => {
        retryDelay = 500;
        setState('open');
    };
    current.onmessage = (message) => {
        let event;
        try {
            event = JSON.parse(message.data);
        } catch {
            event = { type: 'text', data: message.data };
        }
        for (const listener of listeners) listener(event);
    };
    current.onclose = () => {
        if (socket !== current) return;
        socket = null;
        setState('closed');
        if (listeners.size === 0) return;
        retryTimer = setTimeout(open, retryDelay);
        retryDelay = Math.min(retryDelay * 2, 5000);
    };
}

// Calls `callback(event)` for every host event, such as {type: 'action', data: {id: 'file.quit'}}.
// Answers a function that ends the subscription.
export function onEvent(callback) {
    listeners.add(callback);
    if (!socket && !retryTimer) open();
    return () => {
        listeners.delete(callback);
        if (listeners.size === 0) {
            clearTimeout(retryTimer);
            retryTimer = 0;
            socket?.close();
        }
    };
}

// Calls `callback(state)` now and whenever the event socket becomes 'connecting', 'open' or
// 'closed' (it then retries while someone listens). Answers a function that ends the watch.
export function onConnection(callback) {
    watchers.add(callback);
    callback(state);
    return () => watchers.delete(callback);
}
