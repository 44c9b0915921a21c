// Verbs for the frameset: open the site, reach its two frames, submit a menu form and read what
// the browser posted, catch alerts.

/// Opens index.asp and waits until both frames have loaded.
export async function openSite(page, host) {
  await page.goto(host.url('index.asp'));
  for (const frame of [menuFrame(page), mainFrame(page)]) await frame.waitForLoadState('load');
  // The menu's onLoad closes sections 2 and 3; wait for it so clicks meet the settled page.
  await menuFrame(page).waitForFunction(() => document.all.Menu2.style.display === 'none');
}

export function menuFrame(page) {
  const frame = page.frame({ name: 'leftFrame' });
  if (!frame) throw new Error('no frame leftFrame');
  return frame;
}

export function mainFrame(page) {
  const frame = page.frame({ name: 'mainFrame' });
  if (!frame) throw new Error('no frame mainFrame');
  return frame;
}

/// The fields of an url-encoded form body, in order, decoded from the page's character set.
export function formFields(body, charset) {
  const decoder = new TextDecoder(charset);
  const decode = (text) => {
    const bytes = [];
    const plain = text.replace(/\+/g, ' ');
    for (let i = 0; i < plain.length; i++) {
      if (plain[i] === '%') {
        bytes.push(parseInt(plain.slice(i + 1, i + 3), 16));
        i += 2;
      } else {
        bytes.push(plain.charCodeAt(i));
      }
    }
    return decoder.decode(Uint8Array.from(bytes));
  };
  if (!body) return [];
  return body.split('&').map((pair) => {
    const eq = pair.indexOf('=');
    return [decode(pair.slice(0, eq)), decode(pair.slice(eq + 1))];
  });
}

/// Runs an action that sends a menu form to pagePath, waits until the main frame shows the
/// answer, and returns the posted fields as [name, value] pairs.
export async function post(page, pagePath, action) {
  const main = mainFrame(page);
  const charset = await menuFrame(page).evaluate(() => document.characterSet);
  const sent = page.waitForRequest(
    (r) => r.method() === 'POST' && new URL(r.url()).pathname.toLowerCase() === `/${pagePath.toLowerCase()}`,
  );
  const navigated = page.waitForEvent('framenavigated', (f) => f === main);
  await action();
  const request = await sent;
  await navigated;
  await main.waitForLoadState('load');
  return formFields(request.postDataBuffer()?.toString('latin1') ?? '', charset);
}

/// The value of a posted field, undefined when the field was not posted.
export function field(fields, name) {
  const found = fields.filter(([n]) => n === name);
  if (found.length > 1) throw new Error(`field ${name} posted ${found.length} times`);
  return found[0]?.[1];
}

/// Runs an action that should raise exactly one alert and send no form; returns its message.
/// The alert is accepted, and any navigation it sets off (a step back) is let finish.
export async function alertOf(page, action, { quietMs = 400 } = {}) {
  const messages = [];
  const posts = [];
  const onDialog = (dialog) => {
    messages.push(dialog.message());
    dialog.accept();
  };
  const onRequest = (r) => {
    if (r.method() === 'POST') posts.push(r.url());
  };
  page.on('dialog', onDialog);
  page.on('request', onRequest);
  try {
    await action();
    const deadline = Date.now() + 5_000;
    while (messages.length === 0 && Date.now() < deadline) await page.waitForTimeout(20);
    await page.waitForTimeout(quietMs);
  } finally {
    page.off('dialog', onDialog);
    page.off('request', onRequest);
  }
  if (messages.length !== 1) throw new Error(`expected one alert, saw ${JSON.stringify(messages)}`);
  return { message: messages[0], posts };
}
