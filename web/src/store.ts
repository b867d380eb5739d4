// The browser's storage of the editor: IndexedDB (handles of recent files, recovery copies,
// previous versions). Callers fail soft: without storage the editor works, only without what it
// would keep.
type StoreName = 'recent' | 'recovery' | 'versions';
// A store added later comes in a database of its own: a database's stores change only through an
// upgrade, which a page of an earlier edition left open would hold up.
const kDatabases: Record<StoreName, string> = { recent: 'zezudi', recovery: 'zezudi', versions: 'zezudi-versions' };

const opened = new Map<string, Promise<IDBDatabase>>();

function db(store: StoreName): Promise<IDBDatabase> {
  const name = kDatabases[store];
  if (!opened.has(name))
    opened.set(name, new Promise((resolve, reject) => {
      const r = indexedDB.open(name, 1);
      r.onupgradeneeded = () => {
        for (const [s, d] of Object.entries(kDatabases)) if (d === name) r.result.createObjectStore(s);
      };
      r.onsuccess = () => resolve(r.result);
      r.onerror = () => reject(r.error);
    }));
  return opened.get(name)!;
}

function request<T>(store: StoreName, mode: IDBTransactionMode, f: (s: IDBObjectStore) => IDBRequest): Promise<T> {
  return db(store).then((d) => new Promise<T>((resolve, reject) => {
    const t = d.transaction(store, mode);
    const r = f(t.objectStore(store));
    t.oncomplete = () => resolve(r.result as T);
    t.onerror = () => reject(t.error);
    t.onabort = () => reject(t.error);
  }));
}

export const put = (store: StoreName, key: string, value: unknown) =>
  request<void>(store, 'readwrite', (s) => s.put(value, key));
export const get = <T>(store: StoreName, key: string) =>
  request<T | undefined>(store, 'readonly', (s) => s.get(key));
export const remove = (store: StoreName, key: string) =>
  request<void>(store, 'readwrite', (s) => s.delete(key));
export const keys = (store: StoreName) =>
  request<IDBValidKey[]>(store, 'readonly', (s) => s.getAllKeys()).then((k) => k.map(String));
