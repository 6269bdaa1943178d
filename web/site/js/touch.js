// Touch that changes nothing by accident: on a touch screen a slider moves only when its
// thumb is dragged. A touch that lands on the track away from the thumb (a tap while
// scrolling) leaves the value as it was and reaches no handler; the page scrolls instead.
// Mouse, pen and keys are as before.

const THUMB_REACH = 24;  // px either side of the thumb's centre that count as the thumb

function onThumb(slider, x) {
    const box = slider.getBoundingClientRect();
    const min = Number(slider.min || 0);
    const max = Number(slider.max || 100);
    const fraction = max > min ? (Number(slider.value) - min) / (max - min) : 0;
    const thumb = Math.min(box.height, THUMB_REACH);
    const centre = box.left + thumb / 2 + fraction * (box.width - thumb);
    return Math.abs(x - centre) <= THUMB_REACH;
}

export function wireTouch() {
    let held = null;  // a touch on a slider's track: {slider, value, pointerId}
    const isSlider = (e) => e.target instanceof HTMLInputElement && e.target.type === 'range';
    window.addEventListener('pointerdown', (e) => {
        held = null;
        if (e.pointerType !== 'touch' || !isSlider(e) || onThumb(e.target, e.clientX)) return;
        held = {slider: e.target, value: e.target.value, pointerId: e.pointerId};
        e.preventDefault();
    }, true);
    // The value the track's touch gave is taken back before any handler hears of it.
    for (const type of ['input', 'change']) {
        window.addEventListener(type, (e) => {
            if (!held || e.target !== held.slider) return;
            e.stopImmediatePropagation();
            held.slider.value = held.value;
        }, true);
    }
    const release = (e) => {
        if (!held || e.pointerId !== held.pointerId) return;
        const ended = held;
        setTimeout(() => held === ended && (held = null), 100);
    };
    window.addEventListener('pointerup', release, true);
    window.addEventListener('pointercancel', release, true);
    window.addEventListener('keydown', () => (held = null), true);
}
