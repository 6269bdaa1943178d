// The adapter remembered and reconnected in place. On start the page asks the browser for the
// adapters it already allows (Web Serial ports of FTDI's vendor id, WebUSB FT232R devices):
// with exactly one it connects without a chooser, and an adapter plugged in while the start
// screen shows connects too. While the window runs, the link the module holds outlives its
// device: when the device goes away the window says so (every call fails with status 4
// meanwhile); when the same adapter comes back (matched by vendor and product, over USB by
// its serial number too, over Web Serial only when no other such port is there) the link
// takes it and replays what the core had set (PortBase.reattach), under the same dialog.
// The window's Connect button does the same by hand, with the chooser when needed.
import {$, page} from './page.js';
import {FTDI_VENDOR_ID} from './port-base.js';
import {startDialog} from './start.js';

const FT232R_PRODUCT_ID = 0x6001;
const links = {
    serial: null,
    usb: null
};  // the port modules this build has

const infoOf = (port) => (typeof port.getInfo === 'function' ? port.getInfo() : {});
const isSerialAdapter = (port) => infoOf(port).usbVendorId === FTDI_VENDOR_ID;
const isUsbAdapter = (device) =>
    device.vendorId === FTDI_VENDOR_ID && device.productId === FT232R_PRODUCT_ID;
const hasSerial = () => !!links.serial && links.serial.hasWebSerial();
const hasUsb = () => !!links.usb && links.usb.hasWebUsb();

async function allowedPorts() {
    if (!hasSerial()) return [];
    return (await navigator.serial.getPorts().catch(() => [])).filter(isSerialAdapter);
}

async function allowedDevices() {
    if (!hasUsb()) return [];
    return (await navigator.usb.getDevices().catch(() => [])).filter(isUsbAdapter);
}

// The adapters the browser allows, as {kind, target}: the Web Serial ports where there are
// any (one adapter may be allowed through both), else the USB devices.
export async function knownAdapters() {
    const ports = await allowedPorts();
    if (ports.length) return ports.map((target) => ({kind: 'serial', target}));
    return (await allowedDevices()).map((target) => ({kind: 'usb', target}));
}

function nameOf({kind, target}) {
    if (kind === 'usb') return `${target.productName || 'TBX-3'} (${target.serialNumber ?? ''})`;
    return 'TBX-3';
}

// The link for a known adapter; over USB its interface claimed.
async function linkFor({kind, target}) {
    if (kind === 'serial') return new links.serial.SerialLink(target);
    const link = new links.usb.UsbLink(target);
    await link.claim();
    return link;
}

function startShows() { return !page.running && !$('#start').hidden; }

let connecting = false;
async function connectTo(adapter) {
    if (connecting || !page.Module || page.busy || !startShows()) return;
    connecting = true;
    try {
        $('#start-status').textContent = '';
        await startDialog(false, await linkFor(adapter));
    } catch (error) {
        $('#start-status').textContent = String(error.message || error);
    } finally {
        connecting = false;
    }
}

// The start screen names the one known adapter; the Connect buttons choose another.
function showKnown(known) {
    let line = $('#known-adapter');
    if (!line) {
        line = document.createElement('p');
        line.id = 'known-adapter';
        line.className = 'notice';
        $('#start-status').before(line);
    }
    line.hidden = known.length !== 1;
    if (known.length === 1)
        line.textContent = page.texts.knownAdapter.replace('%s', nameOf(known[0]));
}

// ---- The window's link: gone, back ------------------------------------------------------

const windowLink = () => (page.running ? globalThis.tarvexPort : null);

function linkBar() {
    let bar = $('#link-status');
    if (bar) return bar;
    bar = document.createElement('div');
    bar.id = 'link-status';
    bar.className = 'link-status';
    bar.hidden = true;
    const text = document.createElement('p');
    text.setAttribute('role', 'status');
    const button = document.createElement('button');
    button.type = 'button';
    button.id = 'reconnect';
    button.addEventListener('click', () => reconnectByHand());
    bar.append(text, button);
    $('#window').prepend(bar);
    return bar;
}

function showLink(gone, message = '') {
    const bar = linkBar();
    bar.hidden = !gone && !message;
    bar.querySelector('p').textContent = message || (gone ? page.texts.adapterGone : '');
    const button = bar.querySelector('button');
    button.textContent = page.texts.reconnect;
    button.hidden = !gone;
    document.documentElement.classList.toggle('adapter-gone', gone);
}

function isSameAdapter(link, kind, target) {
    if (link.kind !== kind) return false;
    if (kind === 'usb') return isUsbAdapter(target) && (target.serialNumber ?? '') === link.serial;
    const info = infoOf(target);
    return info.usbVendorId === link.usbVendorId && info.usbProductId === link.usbProductId;
}

const afterHandler = async () => {
    while (page.busy) await new Promise((r) => setTimeout(r, 50));
};

// The link takes the returning device once no handler runs; no input meanwhile.
let reattaching = false;
async function reattach(link, target) {
    if (reattaching) return;
    reattaching = true;
    try {
        await afterHandler();
        if (!link.gone || windowLink() !== link) return;
        ++page.busy;
        document.documentElement.classList.add('busy');
        try {
            await link.reattach(target);
            showLink(false);
        } catch (error) {
            showLink(true, `${page.texts.adapterGone} (${error.message || error})`);
        } finally {
            --page.busy;
            document.documentElement.classList.toggle('busy', page.busy > 0);
        }
    } finally {
        reattaching = false;
    }
}

// The device the link could take: the same adapter, and over Web Serial the only such port.
async function returning(link) {
    if (link.kind === 'usb') {
        return (await allowedDevices()).find((d) => isSameAdapter(link, 'usb', d)) ?? null;
    }
    const ports = (await allowedPorts()).filter((p) => isSameAdapter(link, 'serial', p));
    return ports.length === 1 ? ports[0] : null;
}

async function plugged(kind, target) {
    const link = windowLink();
    if (link) {
        if (link.gone && isSameAdapter(link, kind, target) && (await returning(link)) === target)
            await reattach(link, target);
        return;
    }
    if (!startShows()) return;
    const allowed = kind === 'serial' ? await allowedPorts() : await allowedDevices();
    if (allowed.includes(target)) await connectTo({kind, target});
}

// The window's Connect: the returning adapter if the browser has it, else the chooser's.
export async function reconnectByHand() {
    const link = windowLink();
    if (!link || !link.gone || page.busy) return;
    let target = await returning(link);
    try {
        if (!target && link.kind === 'serial') {
            target = await navigator.serial.requestPort({filters: [{usbVendorId: FTDI_VENDOR_ID}]});
        } else if (!target) {
            target = await navigator.usb.requestDevice(
                {filters: [{vendorId: FTDI_VENDOR_ID, productId: FT232R_PRODUCT_ID}]});
        }
    } catch (error) {
        if (error && error.name !== 'NotFoundError') showLink(true, String(error.message || error));
        return;  // the chooser cancelled: nothing changes
    }
    await reattach(link, target);
}

async function loadPort(file) {
    try {
        return await import(file);
    } catch {
        return null;  // this build has no such port
    }
}

// Wires the events, then (unless the window starts otherwise) connects the one known
// adapter. The start screen showing again (after Exit) names the known adapter again.
export async function connectRemembered(connect = true) {
    [links.serial, links.usb] =
        await Promise.all([loadPort('./serial-port.js'), loadPort('./usb-port.js')]);
    globalThis.addEventListener('tarvex-link-lost', (e) => {
        if (e.detail === windowLink()) showLink(true);
    });
    if (hasSerial())
        navigator.serial.addEventListener('connect', (e) => plugged('serial', e.target));
    if (hasUsb()) navigator.usb.addEventListener('connect', (e) => plugged('usb', e.device));
    new MutationObserver(async () => {
        if ($('#start').hidden) return;
        showLink(false);
        showKnown(await knownAdapters());
    }).observe($('#start'), {attributes: true, attributeFilter: ['hidden']});
    const known = await knownAdapters();
    showKnown(known);
    if (connect && known.length === 1) await connectTo(known[0]);
}
